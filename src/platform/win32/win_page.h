#pragma once

#include <memory>

#include "base/variant.h"
#include "platform/win32/win_api.h"
#include "ports/page_document.h"

namespace qm::win {

// The page model over MSHTML for a document object handed out by the browser: null when it is not an
// HTML document (a folder view, a document viewer, nothing yet).
std::shared_ptr<PageDocument> WrapDocument(IDispatch* document);

// Page values and COM's VARIANT, both ways. Empty and null VARIANTs are null values; numbers of every
// width are numbers; anything that is not a Boolean, number or text becomes its text when COM can
// convert it, else null.
Variant FromVariant(const VARIANT& v);
// A new VARIANT the caller clears.
VARIANT ToVariant(const Variant& v);

}  // namespace qm::win
