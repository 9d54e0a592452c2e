#pragma once
// A top-level stand-in browser window: a band area at the top whose site
// window parents the toolbar, a content area that shows what the browser
// object was asked (navigations, ShowBrowserBar) and a status bar with the
// last status text. It owns the StandInBrowser it shows.
#include "StandInBrowser.h"

#include <deque>
#include <functional>

namespace bandhost {

class BrowserFrame {
public:
    static constexpr int kBandMargin = 2;
    static constexpr int kBandHeight = 28;  // one band of 25 pixels and a little room
    static constexpr int kBandAreaHeight = kBandHeight + 2 * kBandMargin;
    static constexpr int kStatusBarHeight = 22;
    // The class of a browser's frame windows, so that a search for a browser
    // frame window finds this one as it would find the browser's.
    static constexpr const wchar_t* kWindowClass = L"IEFrame";
    static constexpr const wchar_t* kSiteWindowClass = L"KestrelgroveBandSite";
    static constexpr const wchar_t* kTitle = L"Kestrelgrove stand-in browser";

    // Creates the frame hidden, with its own browser object; show() or the
    // browser's Visible shows it. Raises kit::OSError when the window cannot
    // be created.
    explicit BrowserFrame(int width = 1000, int height = 600);
    ~BrowserFrame();
    BrowserFrame(const BrowserFrame&) = delete;
    BrowserFrame& operator=(const BrowserFrame&) = delete;

    // The frame window; nullptr once it was destroyed (by the user closing it
    // without an onClose handler, for example).
    HWND hwnd() const noexcept { return hwnd_.get(); }
    // The band area's child window that parents the band's window.
    HWND siteWindow() const noexcept { return site_; }
    StandInBrowser& browser() const noexcept { return *browser_.Get(); }
    IWebBrowser2* webBrowser() const noexcept { return browser_.Get(); }

    void show();
    // Outer size of the frame, what the browser's Width reports.
    void setSize(int width, int height);
    // The content area below the band area, in client coordinates.
    RECT contentRect() const noexcept;
    // Stretches the site window's children to the band area's width (done on
    // every resize; call it after docking a new window).
    void fitBand() const noexcept;
    // The band strip: the site window's height, and the gripper at its left
    // (drawn, kept free of the band's window).
    void setBandStrip(int height, int gripperWidth);
    int bandHeight() const noexcept { return bandHeight_; }
    int gripperWidth() const noexcept { return gripperWidth_; }
    // The height of the band area above the content.
    int bandAreaHeight() const noexcept { return bandHeight_ + 2 * kBandMargin; }
    // Places a band's window over the whole band strip right of the gripper.
    void dockBand(HWND band) const noexcept;
    // Called with the screen point of a context menu asked for on the gripper.
    void setOnGripperMenu(std::function<void(POINT)> fn) { onGripperMenu_ = std::move(fn); }

    // Runs fn on the frame's thread once the current message is handled: how
    // a browser reacts "later" (say, closes a band after ShowBrowserBar
    // returned to the band's own click handler).
    void post(std::function<void()> fn);
    // Failures raised by posted functions (they cannot leave the window procedure).
    int postedFailures() const noexcept { return postedFailures_; }
    // Replaces the default reaction to the close button (destroying the
    // window), so the host can take its band down first.
    void setOnClose(std::function<void()> fn) { onClose_ = std::move(fn); }

private:
    static LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
    static LRESULT CALLBACK siteProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp) noexcept;
    void layout() noexcept;
    void paint(HDC dc) noexcept;
    void runPosted() noexcept;
    LRESULT handleSite(HWND site, UINT msg, WPARAM wp, LPARAM lp) noexcept;

    kit::com_ptr<StandInBrowser> browser_;
    kit::unique_hgdiobj bigFont_;
    std::deque<std::function<void()>> posted_;
    int postedFailures_ = 0;
    std::function<void()> onClose_;
    std::function<void(POINT)> onGripperMenu_;
    int bandHeight_ = kBandHeight;
    int gripperWidth_ = 0;
    HWND site_ = nullptr;  // a child: destroyed with the frame
    kit::unique_hwnd hwnd_;
};

} // namespace bandhost
