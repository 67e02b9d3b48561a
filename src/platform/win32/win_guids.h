#pragma once

#include "platform/win32/win_api.h"

// The class and interface identifiers of Internet Explorer and its page model that the adapters use,
// defined once in win_guids.cc under names of their own (so they never clash with a system library's).
namespace qm::win {

extern const CLSID kClsidShellWindows;
extern const CLSID kClsidWebBrowser;
// InternetExplorer.Application: a browser in a process of its own.
extern const CLSID kClsidInternetExplorer;
extern const IID kIidIShellWindows;
extern const IID kIidIWebBrowser2;
extern const IID kDiidDWebBrowserEvents2;
extern const IID kDiidDShellWindowsEvents;

extern const IID kIidIHTMLDocument2;
extern const IID kIidIHTMLDocument3;
extern const IID kIidIHTMLWindow2;
extern const IID kIidIHTMLWindow3;
extern const IID kIidIHTMLElement;
extern const IID kIidIHTMLElement2;
extern const IID kIidIHTMLElementCollection;
extern const IID kIidIHTMLStyleSheet;
extern const IID kIidIHTMLStyleSheetsCollection;
extern const IID kIidIHTMLFramesCollection2;
extern const IID kIidIHTMLStyle;
extern const IID kIidIHTMLStyle2;
extern const IID kIidIHTMLImgElement;
extern const IID kIidIHTMLIFrameElement;
extern const IID kIidIHTMLIFrameElement2;
extern const IID kIidIHTMLFrameBase2;
extern const IID kDiidHTMLDocumentEvents2;
extern const IID kDiidHTMLWindowEvents2;

}  // namespace qm::win
