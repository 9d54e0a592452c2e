// An "Updates URL" over HTTPS: WinINet fetches it over TLS when the server's
// certificate chains to a trusted root, and refuses it otherwise. The test
// makes two self-signed certificates for "localhost" and trusts one of them
// in the prefix's machine root store for the length of the test.
#include "kit/Handles.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TempFolder.h"
#include "toolbar/ShellHelpers.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <wincrypt.h>

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

void closeStore(HCERTSTORE h) noexcept { CertCloseStore(h, 0); }
using unique_cert_store = kit::unique_handle<HCERTSTORE, kit::closed_by<HCERTSTORE, &closeStore>>;

unique_cert_store machineRoot() {
    return unique_cert_store(CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root"));
}

// Removes the certificate again however the test ends.
struct TrustedForTheTest {
    std::string der;
    ~TrustedForTheTest() {
        unique_cert_store root = machineRoot();
        if (!root || der.empty()) return;
        PCCERT_CONTEXT mine = CertCreateCertificateContext(
            X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
        if (!mine) return;
        PCCERT_CONTEXT found = CertFindCertificateInStore(root.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, mine, nullptr);
        CertFreeCertificateContext(mine);
        if (found) CertDeleteCertificateFromStore(found);
    }
};

TEST(HttpsDownload, OverTlsOnlyWithATrustedCertificate) {
    kgtest::RecordingPlatform platform;
    const kgtest::TempFolder folder("kg-tls", kgtest::onDriveZ(KG_BUILD_DIR));
    const std::string unix = std::string(KG_BUILD_DIR) + "/" + folder.path().filename().string();
    std::string script;
    for (const char* name : {"trusted", "untrusted"})
        script += std::string("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost ") +
                  "-addext subjectAltName=DNS:localhost -keyout '" + unix + "/" + name + ".key' -out '" + unix + "/" +
                  name + ".pem' && openssl x509 -in '" + unix + "/" + name + ".pem' -outform DER -out '" + unix + "/" +
                  name + ".der' && ";
    ASSERT_EQ(kgtest::runUnixScript(script + "true", unix), 0) << "openssl could not make the certificates";

    TrustedForTheTest trust{kgtest::readAll(kgtest::onDriveZ(unix + "/trusted.der"))};
    {
        unique_cert_store root = machineRoot();
        ASSERT_TRUE(root) << GetLastError();
        ASSERT_TRUE(CertAddEncodedCertificateToStore(root.get(), X509_ASN_ENCODING,
                                                     reinterpret_cast<const BYTE*>(trust.der.data()),
                                                     static_cast<DWORD>(trust.der.size()),
                                                     CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
            << GetLastError();
    }
    kgtest::HttpTestServer trusted, untrusted;
    ASSERT_TRUE(trusted.start(unix + "/trusted.pem", unix + "/trusted.key"));
    ASSERT_TRUE(untrusted.start(unix + "/untrusted.pem", unix + "/untrusted.key"));
    const std::string body = "[Options]\r\nToolbar Name=Over TLS\r\n";
    trusted.serve("tb/toolbar.ini", body);
    untrusted.serve("tb/toolbar.ini", body);
    ASSERT_EQ(trusted.url("/tb/toolbar.ini").rfind("https://localhost:", 0), 0u);

    const std::string destination = kgtest::onDriveZ(unix + "/download.ini");
    EXPECT_TRUE(kg::DownloadUrlToFile(trusted.url("/tb/toolbar.ini"), destination));
    EXPECT_EQ(kgtest::readAll(destination), body);
    EXPECT_EQ(trusted.requests(), std::vector<std::string>{"/tb/toolbar.ini"});

    std::error_code ignored;
    fs::remove(destination, ignored);
    EXPECT_FALSE(kg::DownloadUrlToFile(untrusted.url("/tb/toolbar.ini"), destination))
        << "a certificate that chains to no trusted root";
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_TRUE(untrusted.requests().empty()) << "nothing was asked over the refused connection";
    EXPECT_TRUE(platform.messageBoxes.empty());

    trusted.stop();
    untrusted.stop();
}

} // namespace
