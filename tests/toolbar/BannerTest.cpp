// The banner's Flash player, hosted for real by the system's ActiveX host,
// with the stand-in player (tools/flashstandin) that the test prefix has
// registered, and a placeholder player file at
// C:\windows\system32\Macromed\Flash\flash.ocx (scripts/flash-standin.sh).
#include "tests/toolbar/ToolbarFixture.h"

#include "kit/Image.h"
#include "kit/OleVariant.h"
#include "kit/Toolbar.h"
#include "toolbar/Banner.h"
#include "kit/ComHelpers.h"
#include "toolbar/ShockwaveFlash.h"

#include <filesystem>
#include <system_error>

namespace {

namespace fs = std::filesystem;

constexpr char kUnreachableMovie[] = "http://127.0.0.1:1/banner.swf";  // nobody listens: never complete
const fs::path kPlaceholder = "system32\\Macromed\\Flash\\flash.ocx";

fs::path windowsFolder() {
    char folder[MAX_PATH] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return folder;
}

// The player files of one case under the Windows folder, with the prefix's
// placeholder moved aside meanwhile; everything is put back as it was.
class PlayerFiles {
public:
    struct Entry {
        const char* path;  // under the Windows folder
        bool folder;
    };

    explicit PlayerFiles(std::initializer_list<Entry> entries) {
        fs::rename(windows_ / kPlaceholder, aside(), error_);
        for (const Entry& e : entries) {
            const fs::path path = windows_ / e.path;
            // The highest folder this case makes is the one to take away again.
            fs::path top = path;
            while (!fs::exists(top.parent_path())) top = top.parent_path();
            if (!fs::exists(top)) made_.push_back(top);
            fs::create_directories(e.folder ? path : path.parent_path());
            if (!e.folder) std::ofstream(path) << "player";
        }
    }
    ~PlayerFiles() {
        std::error_code ignored;
        for (auto it = made_.rbegin(); it != made_.rend(); ++it) fs::remove_all(*it, ignored);
        if (!error_) fs::rename(aside(), windows_ / kPlaceholder, ignored);
    }
    PlayerFiles(const PlayerFiles&) = delete;
    PlayerFiles& operator=(const PlayerFiles&) = delete;

private:
    fs::path aside() const { return windows_ / "system32\\Macromed\\Flash\\flash.ocx.kg-aside"; }
    fs::path windows_ = windowsFolder();
    std::vector<fs::path> made_;
    std::error_code error_;
};

// The stand-in's own server entry points, from the build.
class StandInServer {
public:
    StandInServer() {
        std::string path = "Z:" + std::string(KG_BUILD_DIR) + "/flashstandin.dll";
        for (char& c : path)
            if (c == '/') c = '\\';
        module_.reset(LoadLibraryA(path.c_str()));
    }
    HRESULT call(const char* name) const {
        using Entry = HRESULT(WINAPI*)();
        auto entry = module_ ? reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), name)))
                             : nullptr;
        return entry ? entry() : E_FAIL;
    }

private:
    kit::unique_hmodule module_;
};

kit::OleVariant property(IDispatch* player, const wchar_t* name) {
    kit::OleVariant value;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPPARAMS none{};
    if (SUCCEEDED(player->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        player->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.put(), nullptr, nullptr);
    return value;
}

std::wstring movieOf(IDispatch* player) {
    std::wstring movie;
    property(player, L"Movie").asText(movie);
    return movie;
}

bool playing(IDispatch* player) {
    bool on = false;
    return property(player, L"Playing").asBool(on) && on;
}

// The stand-in reports this ready state as if its movie had got that far.
HRESULT fireReadyState(IDispatch* player, LONG state) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"FireReadyState")};
    HRESULT hr = player->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = state;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    return player->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

class Banner : public kgtest::ToolbarWindowTest {
protected:
    kg::TformToolbar& createWithMovie(const std::string& movie = kUnreachableMovie) {
        writeConfig("", "Flash URL=" + movie + "\r\n");
        return createWindow();
    }
};

TEST_F(Banner, APlayerIsMadeOnlyForAPlayerFileAndAMovie) {
    using Entry = PlayerFiles::Entry;
    const struct {
        const char* name;
        std::initializer_list<Entry> files;
        const char* movie;
        bool installed, player;
    } cases[] = {
        {"no player file", {}, kUnreachableMovie, false, false},
        {"a folder at a player path", {{"System\\Macromed\\flash\\flash.ocx", true}}, kUnreachableMovie, false,
         false},
        {"the player only under the last path", {{"system32\\Macromed\\Flash\\swflash.ocx", false}},
         kUnreachableMovie, true, true},
        {"the player under the third path", {{"System\\Macromed\\flash.ocx", false}}, kUnreachableMovie, true,
         true},
        {"a player but no movie", {{"system32\\Macromed\\Flash\\swflash.ocx", false}}, "", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PlayerFiles files(c.files);
        EXPECT_EQ(kg::FlashPlayerInstalled(), c.installed);
        kg::TformToolbar& w = createWithMovie(c.movie);
        EXPECT_EQ(w.FlashPlayer != nullptr, c.player);
        EXPECT_TRUE(w.Image->Visible());
        destroyWindow();
    }
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(Banner, ReadyStatesBelowFourKeepThePictureFourSwapsItForThePlayingPlayer) {
    kg::TformToolbar& w = createWithMovie();
    ASSERT_NE(w.FlashPlayer, nullptr);
    kg::TShockwaveFlash& player = *w.FlashPlayer;
    IDispatch* control = player.DefaultDispatch();
    ASSERT_NE(control, nullptr);
    // Sited by the ActiveX host: the stand-in's own window lives in the player's.
    EXPECT_TRUE(player.Hosted());
    EXPECT_NE(FindWindowExA(player.Handle(), nullptr, "KestrelgroveFlashStandIn", nullptr), nullptr);
    EXPECT_EQ(player.Parent(), w.FlashToolbar);
    EXPECT_EQ(player.Owner(), &w);
    EXPECT_EQ((std::vector<int>{player.Left(), player.Top(), player.Width(), player.Height(), player.TabOrder()}),
              (std::vector<int>{0, 0, 105, 22, 0}));
    EXPECT_EQ(movieOf(control), kg::AnsiToWide(kUnreachableMovie));
    EXPECT_EQ(platform_.attemptConnectCalls, 1);

    for (LONG state = 0; state <= 4; ++state) {
        SCOPED_TRACE(state);
        ASSERT_EQ(fireReadyState(control, state), S_OK);
        const bool complete = state == 4;
        EXPECT_EQ(w.Image->Visible(), !complete);
        EXPECT_EQ(player.Visible(), complete);
        EXPECT_EQ((GetWindowLongPtrA(player.Handle(), GWL_STYLE) & WS_VISIBLE) != 0, complete);
        EXPECT_EQ(playing(control), complete);
    }
    EXPECT_TRUE(boxTexts().empty());

    // Freed with the window, and the stand-in holds no object any more.
    destroyWindow();
    StandInServer server;
    EXPECT_EQ(server.call("DllCanUnloadNow"), S_OK);
}

TEST_F(Banner, WithoutAConnectionThePlayerGetsNoMovieAndStaysHidden) {
    platform_.attemptConnectAnswer = ERROR_INTERNET_CANNOT_CONNECT;
    kg::TformToolbar& w = createWithMovie();
    ASSERT_NE(w.FlashPlayer, nullptr);
    EXPECT_EQ(movieOf(w.FlashPlayer->DefaultDispatch()), L"");
    EXPECT_FALSE(w.FlashPlayer->Visible());
    EXPECT_TRUE(w.Image->Visible());
    EXPECT_TRUE(boxTexts().empty());
}

TEST_F(Banner, APlayerFileWithoutARegisteredPlayerLeavesThePictureSilently) {
    StandInServer server;
    ASSERT_EQ(server.call("DllUnregisterServer"), S_OK);
    struct Reregister {
        StandInServer& server;
        ~Reregister() { server.call("DllRegisterServer"); }
    } reregister{server};
    ASSERT_TRUE(kg::FlashPlayerInstalled());
    kg::TformToolbar& w = createWithMovie();
    EXPECT_EQ(w.FlashPlayer, nullptr);
    EXPECT_TRUE(w.Image->Visible());
    EXPECT_TRUE(boxTexts().empty());
    EXPECT_NE(w.HistoryList, nullptr);  // the rest of the creation went on
}

} // namespace
