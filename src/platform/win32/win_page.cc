#include "platform/win32/win_page.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qm::win {

Variant FromVariant(const VARIANT& source) {
    const VARIANT* v = &source;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
        v = V_VARIANTREF(v);
    }
    switch (V_VT(v)) {
        case VT_EMPTY:
        case VT_NULL:
            return {};
        case VT_BOOL:
            return V_BOOL(v) != VARIANT_FALSE;
        case VT_BSTR:
            return Narrow(
                std::wstring_view(V_BSTR(v) ? V_BSTR(v) : L"", V_BSTR(v) ? ::SysStringLen(V_BSTR(v)) : 0));
        case VT_I1:
            return static_cast<std::int32_t>(V_I1(v));
        case VT_UI1:
            return static_cast<std::int32_t>(V_UI1(v));
        case VT_I2:
            return static_cast<std::int32_t>(V_I2(v));
        case VT_UI2:
            return static_cast<std::int32_t>(V_UI2(v));
        case VT_I4:
        case VT_INT:
            return static_cast<std::int32_t>(V_I4(v));
        case VT_UI4:
        case VT_UINT:
            return static_cast<double>(V_UI4(v));
        case VT_R4:
            return static_cast<double>(V_R4(v));
        case VT_R8:
            return V_R8(v);
        default: {
            VARIANT text;
            ::VariantInit(&text);
            if (SUCCEEDED(::VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR))) {
                Variant result = Narrow(std::wstring_view(V_BSTR(&text), ::SysStringLen(V_BSTR(&text))));
                ::VariantClear(&text);
                return result;
            }
            return {};
        }
    }
}

VARIANT ToVariant(const Variant& value) {
    VARIANT v;
    ::VariantInit(&v);
    if (value.IsBool()) {
        V_VT(&v) = VT_BOOL;
        V_BOOL(&v) = value.AsBool() ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (value.IsNumber()) {
        V_VT(&v) = VT_R8;
        V_R8(&v) = value.AsNumber();
    } else if (value.IsString()) {
        const std::wstring text = Widen(value.AsString());
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    } else {
        V_VT(&v) = VT_NULL;
    }
    return v;
}

}  // namespace qm::win
