// The ways out of the toolbar: downloads against a real HTTP server on the
// loopback address that these tests start and stop themselves, URL
// canonicalisation, navigation of the stand-in browser, and of Wine's real
// browser application through the recording seam.
#include "host/WebBrowserHost.h"
#include "core/Error.h"
#include "kit/OleVariant.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MessagePump.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TempFolder.h"
#include "toolbar/Navigation.h"
#include "kit/Download.h"
#include "toolbar/ShellHelpers.h"
#include "tools/bandhost/lib/StandInBrowser.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string expectedBody() {
    std::string body(5000, '\0');
    for (int i = 0; i < 5000; ++i) body[static_cast<std::size_t>(i)] = static_cast<char>((i * 7 + 3) % 256);
    return body;
}
constexpr const char* kErrorPage = kgtest::HttpTestServer::kErrorPage;

using kgtest::readAll;
using kgtest::writeAll;

// The server sends "/body" (5000 bytes), "/empty", "/cut/body" (cut short)
// and a 404 page for anything else; the destination lies in a folder of its own.
class Download : public testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new kgtest::HttpTestServer;
        ASSERT_TRUE(server_->start()) << "the test server did not start";
        server_->serve("body", expectedBody());
        server_->serve("empty", "");
        folderOwner_ = new kgtest::TempFolder("kg-download", kgtest::onDriveZ(KG_BUILD_DIR));
        folder_ = folderOwner_->string();
    }

    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
        delete folderOwner_;
        folderOwner_ = nullptr;
    }

    void SetUp() override {
        ASSERT_GT(server_->port(), 0);
        target_ = fs::path(folder_) / "target.bin";
        std::error_code ignored;
        fs::remove(target_, ignored);
    }

    static std::string url(int port, const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }
    static std::vector<std::string> requests() { return server_->requests(); }
    // Files in the folder besides the destination.
    static std::vector<std::string> strayFiles() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            const std::string name = entry.path().filename().string();
            if (name != "target.bin") names.push_back(name);
        }
        return names;
    }

    kgtest::RecordingPlatform platform_;
    fs::path target_;
    static inline kgtest::HttpTestServer* server_ = nullptr;
    static inline kgtest::TempFolder* folderOwner_ = nullptr;
    static inline std::string folder_;
};

TEST_F(Download, WritesWhatTheServerSendsAndRefusesTheRest) {
    constexpr char kOld[] = "the file as it was";
    const struct {
        const char* what;
        bool live;                 // the server's port, else one nobody listens on
        const char* path;
        std::optional<std::string> before;  // the destination before, if any
        bool result;
        std::optional<std::string> after;   // the destination after; nullopt: absent
        const char* request;      // what the server's log gains; nullptr: nothing
    } cases[] = {
        // First, while the server's log is still empty.
        {"a decoded blank makes it implausible: no traffic", true, "/a%20b", kOld, false, kOld, nullptr},
        {"a body, written whole", true, "/body", std::nullopt, true, expectedBody(), "/body"},
        {"a body over an old file", true, "/body", kOld, true, expectedBody(), "/body"},
        {"an empty body", true, "/empty", kOld, true, std::string(), "/empty"},
        {"an error page is written and counts", true, "/missing", std::nullopt, true, std::string(kErrorPage),
         "/missing"},
        {"an unreachable port", false, "/body", kOld, false, kOld, nullptr},
        {"a body cut short by the server", true, "/cut/body", kOld, false, kOld, "/cut/body"},
        {"a body cut short, no file before", true, "/cut/body", std::nullopt, false, std::nullopt, "/cut/body"},
        // Bounded: a server that never answers, and bodies above 16 MiB, declared or sent.
        {"a server that never answers", true, "/stall/body", kOld, false, kOld, "/stall/body"},
        {"a declared length above the limit", true, "/huge/body", kOld, false, kOld, "/huge/body"},
        {"more bytes than the limit", true, "/flood/body", std::nullopt, false, std::nullopt, "/flood/body"},
        // Bounded in time while the body comes: all but 20 bytes, then one a second; and a huge body, slowly.
        {"a body that trickles", true, "/trickle/body", kOld, false, kOld, "/trickle/body"},
        {"an endless body sent slowly", true, "/drip/body", std::nullopt, false, std::nullopt, "/drip/body"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::error_code ignored;
        fs::remove(target_, ignored);
        if (c.before) writeAll(target_, *c.before);
        const std::vector<std::string> logBefore = requests();

        // The slow servers would deliver whole bodies in the end (or never end):
        // only the transfer's bound makes them refusals. Their times are kg_bench_hostile's.
        const bool result = kg::DownloadUrlToFile(url(c.live ? server_->port() : server_->unusedPort(), c.path), target_.string());
        EXPECT_EQ(result, c.result);
        EXPECT_TRUE(kgtest::awaitAbandonedDownloads());
        if (c.after) {
            ASSERT_TRUE(fs::exists(target_));
            EXPECT_TRUE(readAll(target_) == *c.after) << "the file holds " << fs::file_size(target_) << " bytes";
        } else {
            EXPECT_FALSE(fs::exists(target_));
        }
        std::vector<std::string> gained(requests());
        gained.erase(gained.begin(), gained.begin() + static_cast<std::ptrdiff_t>(logBefore.size()));
        EXPECT_EQ(gained, c.request ? std::vector<std::string>{c.request} : std::vector<std::string>{});
        EXPECT_TRUE(strayFiles().empty()) << "a part file was left behind";
        EXPECT_TRUE(platform_.messageBoxes.empty());
    }
}

// The status line and headers a byte every 0.2 s, whole only after 10 s: each receive is quick, and
// only the transfer's bound refuses it. Where the platform lets the blocked call run on, its thread
// ends later by itself, and the whole answer that comes then leaves the old file as it was. (The
// update of the hostile suite meets the server that trickles for 25 s.)
TEST_F(Download, HeadersThatTrickleAreGivenUpAtTheTransfersBound) {
    constexpr char kOld[] = "the file as it was";
    writeAll(target_, kOld);
    EXPECT_FALSE(kg::DownloadUrlToFile(url(server_->port(), "/latehead/body"), target_.string()));
    EXPECT_EQ(requests().back(), "/latehead/body");
    EXPECT_TRUE(kgtest::awaitAbandonedDownloads());
    EXPECT_EQ(readAll(target_), kOld);
    EXPECT_TRUE(strayFiles().empty()) << "a part file was left behind";
}

TEST_F(Download, FileThatCannotBeCreatedIsAnInputOutputError) {
    const std::string destination = (fs::path(folder_) / "no-such-folder" / "target.bin").string();
    EXPECT_THROW(kg::DownloadUrlToFile(url(server_->port(), "/body"), destination), kit::InOutError);
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_EQ(requests().back(), "/body");
}

TEST(CanonicalizeUrl, FitsTheBufferOrIsReportedNeverCut) {
    const std::string head = "http://a.example/";
    const struct {
        std::size_t length;  // of the canonical form
        bool fits;
    } cases[] = {{255, true}, {256, false}, {257, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        kgtest::RecordingPlatform platform;
        const std::string url = head + std::string(c.length - head.size(), 'x');
        const std::string canonical = kg::CanonicalizeUrl(url);
        if (c.fits) {
            EXPECT_EQ(canonical, url);
            EXPECT_TRUE(platform.messageBoxes.empty());
        } else {
            EXPECT_EQ(canonical, "");
            ASSERT_EQ(platform.messageBoxes.size(), 1u);
            EXPECT_EQ(platform.messageBoxes[0].caption, "Error");
            EXPECT_EQ(platform.messageBoxes[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
            EXPECT_EQ(platform.messageBoxes[0].text.rfind("Error: ", 0), 0u) << platform.messageBoxes[0].text;
            EXPECT_GT(platform.messageBoxes[0].text.size(), std::string("Error: ").size());
        }
    }
    // Escape sequences are decoded, unsafe characters left as they are.
    kgtest::RecordingPlatform platform;
    EXPECT_EQ(kg::CanonicalizeUrl("http://a.example/a%20b"), "http://a.example/a b");
}

TEST(ShellOpen, GoesToTheShellThroughTheSeam) {
    kgtest::RecordingPlatform platform;
    kg::ShellOpen("C:\\some folder\\history.txt");
    kg::ShowErrorBox("Something failed");
    EXPECT_EQ(platform.shellOpens, std::vector<std::string>{"C:\\some folder\\history.txt"});
    ASSERT_EQ(platform.messageBoxes.size(), 1u);
    EXPECT_EQ(platform.messageBoxes[0].text, "Something failed");
    EXPECT_EQ(platform.messageBoxes[0].caption, "Error");
    EXPECT_EQ(platform.messageBoxes[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
}

// ---- navigation

TEST(NavigateTo, TheHostingBrowserNavigatesWithZeroForEveryOption) {
    kgtest::RecordingPlatform platform;
    kit::com_ptr<bandhost::StandInBrowser> browser = bandhost::StandInBrowser::create();
    kg::WebBrowserHost host(browser);
    kit::OleVariant spare;

    kg::NavigateTo(&host, spare, "http://127.0.0.1:1/page?q=a b");
    ASSERT_EQ(browser->navigations().size(), 1u);
    const bandhost::NavigateCall& call = browser->navigations()[0];
    EXPECT_EQ(call.url, L"http://127.0.0.1:1/page?q=a b");
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(call.present[i]);
        EXPECT_EQ(call.args[i].type(), VT_I4);
        LONG value = -1;
        EXPECT_TRUE(call.args[i].asInt(value));
        EXPECT_EQ(value, 0);
    }
    EXPECT_EQ(spare.type(), VT_EMPTY) << "the hosting browser needs no spare";
    EXPECT_TRUE(platform.automationRequests.empty());
    EXPECT_TRUE(platform.hlinkNavigations.empty());

    // The browser's failure is raised to the caller.
    browser->setNavigateResult(E_ACCESSDENIED);
    EXPECT_THROW(kg::NavigateTo(&host, spare, "http://127.0.0.1:1/other"), kit::OSError);
}

// A property of an automation object, read by name.
kit::OleVariant property(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    kit::OleVariant value;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return value;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.get(), nullptr, nullptr);
    return value;
}

std::wstring textOf(const kit::OleVariant& value) {
    std::wstring text;
    value.asText(text);
    return text;
}

HWND visibleFrame() {
    HWND frame = nullptr;
    while ((frame = FindWindowExA(nullptr, frame, "IEFrame", nullptr)) != nullptr)
        if (IsWindowVisible(frame)) return frame;
    return nullptr;
}

void pumpFor(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        kgtest::pumpMessages();
        Sleep(20);
    }
}

// Closes, as a user would, the browser windows a test left open.
struct CloseBrowserWindows {
    ~CloseBrowserWindows() {
        for (HWND frame = visibleFrame(); frame; frame = visibleFrame()) {
            PostMessageA(frame, WM_CLOSE, 0, 0);
            for (int i = 0; i < 100 && IsWindowVisible(frame); ++i) pumpFor(1);
            if (IsWindowVisible(frame)) break;
        }
    }
};

TEST(NavigateOutsideHost, StartsTheRealBrowserReusesItThenFallsBackToHyperlinks) {
    ASSERT_EQ(visibleFrame(), nullptr) << "a browser frame window is already open";
    kgtest::RecordingPlatform platform;
    platform.passAutomationToRealPlatform();
    const CloseBrowserWindows closeLeftovers;
    kit::OleVariant spare;

    // No hosting browser, an empty slot: the application is made and shown.
    kg::NavigateTo(nullptr, spare, "http://127.0.0.1:1/first");
    EXPECT_EQ(platform.automationRequests, std::vector<std::wstring>{L"InternetExplorer.Application"});
    ASSERT_EQ(spare.type(), VT_DISPATCH);
    IDispatch* application = spare.get()->pdispVal;
    bool visible = false;
    EXPECT_TRUE(property(application, L"Visible").asBool(visible) && visible);
    EXPECT_EQ(textOf(property(application, L"LocationURL")), L"http://127.0.0.1:1/first");
    for (int i = 0; i < 100 && !visibleFrame(); ++i) pumpFor(1);
    const HWND frame = visibleFrame();
    ASSERT_NE(frame, nullptr) << "the browser shows no frame window";
    DWORD owner = 0;
    GetWindowThreadProcessId(frame, &owner);
    EXPECT_NE(owner, GetCurrentProcessId()) << "the frame belongs to the browser's own process";

    // A frame window is open: the same application navigates.
    kg::NavigateOutsideHost(spare, "http://127.0.0.1:1/second");
    EXPECT_EQ(platform.automationRequests.size(), 1u);
    ASSERT_EQ(spare.type(), VT_DISPATCH);
    EXPECT_EQ(spare.get()->pdispVal, application);
    EXPECT_EQ(textOf(property(application, L"LocationURL")), L"http://127.0.0.1:1/second");
    EXPECT_TRUE(platform.hlinkNavigations.empty());

    // The user closes the browser window: the system's hyperlink navigation takes the URL.
    PostMessageA(frame, WM_CLOSE, 0, 0);
    for (int i = 0; i < 250 && visibleFrame(); ++i) pumpFor(1);
    ASSERT_EQ(visibleFrame(), nullptr) << "the browser window did not close";
    kg::NavigateOutsideHost(spare, "http://127.0.0.1:1/third");
    EXPECT_EQ(platform.hlinkNavigations, std::vector<std::wstring>{L"http://127.0.0.1:1/third"});
    // Only a web or mail address goes to the system's handler: never a program or a share.
    for (const char* target : {"C:\\Windows\\system32\\calc.exe", "\\\\host\\share\\x.exe", "file:///C:/x.exe"})
        kg::NavigateOutsideHost(spare, target);
    kg::NavigateOutsideHost(spare, "www.example.com");
    EXPECT_EQ(platform.hlinkNavigations,
              (std::vector<std::wstring>{L"http://127.0.0.1:1/third", L"http://www.example.com"}));
    EXPECT_EQ(platform.automationRequests.size(), 1u);
    EXPECT_EQ(textOf(property(application, L"LocationURL")), L"http://127.0.0.1:1/second");
}

} // namespace
