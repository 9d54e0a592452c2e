#pragma once
// A band site for the band's tests: the four interfaces a browser's site
// offers, each call written to a log in order. It can be made to lack any of
// them, and hands out a stand-in browser object as the hosting browser.
#include "kit/Handles.h"
#include "tools/bandhost/lib/StandInBrowser.h"

#include <docobj.h>
#include <servprov.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

namespace kgtest {

class TestSite final : public IInputObjectSite, public IOleWindow, public IOleCommandTarget, public IServiceProvider {
public:
    enum Lacks { None = 0, NoInputObjectSite = 1, NoOleWindow = 2, NoCommandTarget = 4, NoServiceProvider = 8 };

    static kit::com_ptr<TestSite> create(HWND window, IWebBrowser2* browser, int lacks = None) {
        kit::com_ptr<TestSite> site;
        site.Attach(new TestSite(window, browser, lacks));
        return site;
    }

    std::vector<std::string> log;
    // The focus flags passed to OnFocusChangeIS, in order.
    std::vector<BOOL> focusChanges;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown) *ppv = static_cast<IInputObjectSite*>(this);
        else if (riid == IID_IInputObjectSite && !(lacks_ & NoInputObjectSite)) *ppv = static_cast<IInputObjectSite*>(this);
        else if (riid == IID_IOleWindow && !(lacks_ & NoOleWindow)) *ppv = static_cast<IOleWindow*>(this);
        else if (riid == IID_IOleCommandTarget && !(lacks_ & NoCommandTarget)) *ppv = static_cast<IOleCommandTarget*>(this);
        else if (riid == IID_IServiceProvider && !(lacks_ & NoServiceProvider)) *ppv = static_cast<IServiceProvider*>(this);
        else return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    STDMETHODIMP OnFocusChangeIS(IUnknown* band, BOOL focus) noexcept override {
        log.push_back(band ? "OnFocusChangeIS" : "OnFocusChangeIS(null)");
        focusChanges.push_back(focus);
        return S_OK;
    }
    STDMETHODIMP GetWindow(HWND* phwnd) noexcept override {
        log.push_back("GetWindow");
        if (!phwnd) return E_POINTER;
        *phwnd = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Exec(const GUID* group, DWORD id, DWORD, VARIANT* in, VARIANT*) noexcept override {
        std::string entry = "Exec";
        if (group && *group == CGID_DeskBand && id == DBID_BANDINFOCHANGED) entry += "(BANDINFOCHANGED";
        if (in && in->vt == VT_I4) entry += "," + std::to_string(in->lVal);
        log.push_back(entry + ")");
        return S_OK;
    }
    STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** ppv) noexcept override {
        log.push_back(service == SID_SWebBrowserApp ? "QueryService(WebBrowserApp)" : "QueryService(other)");
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (service != SID_SWebBrowserApp || !browser_) return E_NOINTERFACE;
        return browser_->QueryInterface(riid, ppv);
    }

private:
    TestSite(HWND window, IWebBrowser2* browser, int lacks) : window_(window), browser_(browser), lacks_(lacks) {}
    ~TestSite() = default;

    ULONG refs_ = 1;
    HWND window_;
    kit::com_ptr<IWebBrowser2> browser_;
    int lacks_;
};

} // namespace kgtest
