// The pictures beside the program: any bytes, as a damaged or replaced file may hold them.

#include <cstddef>
#include <cstdint>
#include <span>

#include "forms/bitmap.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto picture = qm::Bitmap::FromBmp(std::span(data, size));
    if (!picture) {
        return 0;
    }
    FUZZ_CHECK(picture->Width() >= 0 && picture->Height() >= 0);
    FUZZ_CHECK(picture->Width() <= qm::kMaxBmpSide && picture->Height() <= qm::kMaxBmpSide);
    FUZZ_CHECK(picture->Pixels().size() ==
               static_cast<std::size_t>(picture->Width()) * static_cast<std::size_t>(picture->Height()));
    // A picture that was read is written as the program writes pictures, and reads back the same.
    const auto again = qm::Bitmap::FromBmp(picture->ToBmp());
    FUZZ_CHECK(again && *again == *picture);
    return 0;
}
