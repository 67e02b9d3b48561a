#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform_error.h"
#include "base/variant.h"
#include "ports/element_collection.h"
#include "ports/page_document.h"
#include "ports/page_element.h"
#include "ports/page_window.h"
#include "ports/style_sheet.h"

namespace qm::fuzz {

// Runs one page call. A failing call (PlatformError) is the defined answer to a page that says nonsense;
// anything else that leaves it is a finding.
template <typename F>
void Try(F&& call) {
    try {
        call();
    } catch (const PlatformError&) {
    }
}

// Reads a page the way the ad removal and the input test read it: the kinds of elements they walk, each
// element's size, addresses, parent link and styles, its frame's document, and the window's place.
inline void WalkPage(const std::shared_ptr<PageDocument>& doc, int depth = 0) {
    if (!doc || depth > 1) {
        return;
    }
    std::shared_ptr<ElementCollection> all;
    Try([&] { all = doc->All(); });
    for (const char* tag : {"DIV", "IMG", "IFRAME", "EMBED", "OBJECT"}) {
        std::shared_ptr<ElementCollection> list;
        Try([&] { list = all ? all->Tags(tag) : nullptr; });
        std::int32_t length = 0;
        Try([&] { length = list ? list->Length() : 0; });
        for (std::int32_t i = 0; i < std::min(length, 6); ++i) {
            std::shared_ptr<Element> element;
            Try([&] { element = list->Item(i); });
            if (!element) {
                continue;
            }
            Try([&] { element->TagName(); });
            Try([&] { element->InnerText(); });
            Try([&] { element->GetStyle(StyleProperty::Position); });
            Try([&] { element->GetStyle(StyleProperty::Visibility); });
            Try([&] { VariantToInt32(element->Width()); });
            Try([&] { VariantToInt32(element->Height()); });
            Try([&] { VariantToText(element->GetAttribute("src")); });
            Try([&] {
                if (const auto parent = element->ParentElement()) {
                    parent->TagName();
                    VariantToText(parent->GetAttribute("href"));
                }
            });
            Try([&] {
                if (const auto all2 = element->All()) {
                    all2->Tags("IMG")->Length();
                }
            });
            if (std::string_view(tag) == "IFRAME") {
                Try([&] {
                    if (const auto window = element->ContentWindow()) {
                        WalkPage(window->Document(), depth + 1);
                    }
                });
            }
        }
    }
    Try([&] { doc->StyleSheetsLength(); });
    Try([&] {
        if (const auto sheet = doc->StyleSheetsItem(0)) {
            if (const auto owner = sheet->OwningElement()) {
                VariantToText(owner->GetAttribute("id"));
            }
        }
    });
    std::int32_t frames = 0;
    Try([&] { frames = doc->FramesLength(); });
    for (std::int32_t k = -1; k < std::min(frames, 3); ++k) {
        Try([&] {
            const auto window = k < 0 ? doc->ParentWindow() : doc->FramesItem(k);
            if (!window) {
                return;
            }
            window->ScreenLeft();
            window->ScreenTop();
            if (const auto inner = window->Document()) {
                if (const auto body = inner->Body()) {
                    body->ComponentFromPoint(3, 4);
                }
            }
        });
    }
}

}  // namespace qm::fuzz
