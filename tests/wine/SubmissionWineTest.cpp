// Mail and files handed to TovelaNotifier.exe under Wine, carried to the fake server: a
// program that sends through Simple MAPI, loading the companion library itself or through
// Wine's own mapi32.dll, and a second start as the Send To menu makes it. The program is
// installed as "C:\Tovela Notifier\" with its library beside it, its mail item switched on,
// and every Wine process runs in a Japanese locale (ANSI code page 932), as a Japanese
// user's programs do.
//
// Run by scripts/test-windows.sh with WINEPREFIX (a fresh prefix in which nothing runs),
// DISPLAY and TOVELA_WINDOWS_BUILD set. The tests run in the order written, in one run of
// the program that starts without its password.
#include <gtest/gtest.h>

#include <fstream>

#include "integration/FakeServer.h"
#include "integration/Sha256.h"
#include "submit/TextEncodings.h"
#include "wine/WinePrefix.h"

namespace tovela::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

const char* const kPassword = "s3nd&<ok>";
const std::string kFolder = "C:\\Tovela Notifier\\";
const std::string kMailClients = "HKLM\\Software\\Clients\\Mail";
// The settings window's password box and OK button.
const char* const kPasswordBox = "1005";
const char* const kOkButton = "1";

// A file of every byte value and some Japanese text, different for each `seed`.
std::string Attachment(int seed) {
    std::string bytes;
    for (int i = 0; i < 256 * 64; ++i) bytes.push_back(static_cast<char>((i * 7 + seed) % 256));
    return bytes + "会議の資料 " + std::to_string(seed);
}

class SubmissionWineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* build = std::getenv("TOVELA_WINDOWS_BUILD");
        const char* prefix = std::getenv("WINEPREFIX");
        if (!build || !prefix || !std::getenv("DISPLAY")) return;
        build_ = build;
        out_ = build_ / "e2e" / "submission";
        fs::remove_all(out_);
        fs::create_directories(out_);
        prefix_ = std::make_unique<WinePrefix>(fs::path(prefix).parent_path() / "submission");
        if (!prefix_->Ready() || !prefix_->UseLocale("ja_JP", "UTF-8")) return;
        server_ = std::make_unique<FakeServer>(
            json{{"account", {{"user", "demo"}, {"password", kPassword}}},
                 {"version", "8.8.15_GA"},
                 {"prefs", {{"tovelaPrefMailPollingInterval", "2"}}}});
        if (!server_->Started()) return;

        const fs::path folder = prefix_->Path() / "drive_c" / "Tovela Notifier";
        fs::create_directories(folder / "x86");
        fs::copy_file(build_ / "src" / "TovelaNotifier.exe", folder / "TovelaNotifier.exe");
        fs::copy_file(build_ / "src" / "unread.wav", folder / "unread.wav");
        fs::copy_file(build_ / "companion" / "tnmapi32.dll", folder / "tnmapi32.dll");
        fs::copy_file(build_ / "companion" / "x86" / "tnmapi32.dll",
                      folder / "x86" / "tnmapi32.dll");
        fs::create_directories(Documents());

        // Everything but the password, which the user types in the settings window.
        const fs::path reg = prefix_->Path().parent_path() / "settings.reg";
        std::ofstream(reg) << "REGEDIT4\n\n[-HKEY_CURRENT_USER\\Software\\VB and VBA Program "
                              "Settings\\NotificadorTovela]\n\n"
                              "[HKEY_CURRENT_USER\\Software\\VB and VBA Program "
                              "Settings\\NotificadorTovela\\Settings]\n"
                           << "\"TovelaHost\"=\"" << server_->HostAndPort() << "\"\n"
                           << "\"HTTPS\"=\"0\"\n\"Username\"=\"demo\"\n"
                           << "\"mailtoHandler\"=\"1\"\n\"AutoRun\"=\"0\"\n\n";
        if (prefix_->Wine({"regedit", "/S", "Z:" + reg.string()}) != 0) return;
        prefix_->TraceOn();
        program_ = prefix_->Start({kFolder + "TovelaNotifier.exe"});
        started_ = program_->Started() && prefix_->TraceHas("SaveTNSettings.Exit");
    }

    static void TearDownTestSuite() {
        if (server_) {
            std::ofstream(out_ / "requests.json") << server_->Requests().dump(1);
            std::ofstream(out_ / "sent.json") << server_->Sent().dump(1);
            std::ofstream(out_ / "documents.json") << server_->Documents().dump(1);
        }
        if (prefix_ && prefix_->Ready()) {
            fs::copy_file(prefix_->TraceFile(), out_ / "debug.log",
                          fs::copy_options::overwrite_existing);
        }
        program_.reset();
        const fs::path folder = prefix_ ? prefix_->Path().parent_path() : fs::path();
        prefix_.reset();
        if (!folder.empty()) {
            fs::copy_file(folder / "wine.log", out_ / "wine.log",
                          fs::copy_options::overwrite_existing);
            fs::remove_all(folder);
        }
        server_.reset();
    }

    void SetUp() override {
        if (build_.empty())
            GTEST_SKIP() << "WINEPREFIX, DISPLAY and TOVELA_WINDOWS_BUILD are not set";
        ASSERT_TRUE(prefix_->Ready()) << "the Wine prefix could not be copied";
        ASSERT_TRUE(server_ && server_->Started()) << "the fake server did not start";
        ASSERT_TRUE(started_) << "the program did not finish its start-up\n" << prefix_->Trace();
    }

    // Where the sending programs keep their files: "C:\資料\".
    static fs::path Documents() { return prefix_->Path() / "drive_c" / "資料"; }
    static std::string WindowsPath(const std::string& name) { return "C:\\資料\\" + name; }
    static fs::path Write(const std::string& name, const std::string& bytes) {
        const fs::path file = Documents() / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

    // A 64-bit (or 32-bit) program's MAPISendMail or MAPISendMailW through `library`, to
    // 佐藤 花子 with the file attached; what the sender printed ("result 0\nprovider
    // loaded\n" when the library took the message).
    static std::string SendMail(const std::string& library, const std::string& entry,
                                const std::string& subject, const std::string& file,
                                bool x86 = false) {
        const fs::path output = prefix_->Path().parent_path() / "sender.txt";
        fs::remove(output);
        const fs::path sender =
            build_ / "companion" / (x86 ? "x86/tnmapi32_sender.exe" : "tnmapi32_sender.exe");
        prefix_->Run("wine",
                     {sender.string(), library, entry, "佐藤 花子", "hanako@example.com", subject,
                      "資料を添付します。", WindowsPath(file)},
                     60s, output);
        std::string text = ReadText(output);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

    static std::size_t OutboxItems() {
        const fs::path outbox = prefix_->TraceFile().parent_path() / "Outbox";
        if (!fs::exists(outbox)) return 0;
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(outbox), fs::directory_iterator()));
    }

    // The sent message of that subject, once the server has it.
    static std::optional<json> SentMessage(const std::string& subject) {
        std::optional<json> found;
        WaitUntil(
            [&] {
                for (const json& m : server_->Sent()) {
                    if (m.value("subject", "") == subject) found = m;
                }
                return found.has_value();
            },
            60s);
        return found;
    }

    static void ExpectDelivered(const std::string& subject, const std::string& file,
                                const std::string& bytes) {
        const auto sent = SentMessage(subject);
        ASSERT_TRUE(sent) << "the server has no message \"" << subject << "\"\n"
                          << server_->Sent().dump(1) << prefix_->Trace();
        ASSERT_EQ((*sent)["to"].size(), 1u) << sent->dump(1);
        EXPECT_EQ((*sent)["to"][0]["address"], "hanako@example.com");
        EXPECT_EQ((*sent)["to"][0]["personal"], "佐藤 花子");
        EXPECT_EQ((*sent)["body"], "資料を添付します。");
        ASSERT_EQ((*sent)["attachments"].size(), 1u) << sent->dump(1);
        // A mail attachment's name goes to the upload service as an encoded-word.
        EXPECT_EQ((*sent)["attachments"][0]["name"], QEncodeWord(file));
        EXPECT_EQ((*sent)["attachments"][0]["sha256"], Sha256(bytes));
    }

    static inline fs::path build_;
    static inline fs::path out_;
    static inline std::unique_ptr<WinePrefix> prefix_;
    static inline std::unique_ptr<FakeServer> server_;
    static inline std::unique_ptr<ProgramRun> program_;
    static inline bool started_ = false;
};

// Handed over before the user has logged in: the message waits in the outbox with a copy of
// its file (the sending program deletes its own at once), and goes when the password typed
// into the settings window logs in.
TEST_F(SubmissionWineTest, AMessageFromBeforeTheLoginWaitsAndGoesAfterIt) {
    const std::string name = "議事録 5月.bin", bytes = Attachment(1);
    const fs::path file = Write(name, bytes);
    ASSERT_EQ(SendMail(kFolder + "tnmapi32.dll", "MAPISendMail", "待っていた資料", name),
              "result 0\nprovider loaded\n")
        << prefix_->Trace();
    EXPECT_EQ(OutboxItems(), 1u);
    fs::remove(file);
    const std::string probe = (build_ / "tests" / "tovela-wine-probe.exe").string();
    const fs::path shot = out_ / "waiting-for-login.png";
    EXPECT_EQ(prefix_->Wine({probe, "screenshot", "Z:" + shot.string()}), 0);
    EXPECT_TRUE(server_->Sent().empty());

    ASSERT_EQ(prefix_->Wine({probe, "set-text", "TovelaNotifierForm", "Tovela Notifier",
                             kPasswordBox, kPassword}),
              0)
        << "the settings window is not showing";
    ASSERT_EQ(prefix_->Wine({probe, "click", "TovelaNotifierForm", "Tovela Notifier", kOkButton}),
              0);
    ExpectDelivered("待っていた資料", name, bytes);
    EXPECT_TRUE(WaitUntil([] { return OutboxItems() == 0; }, 30s));
}

// Wine's mapi32 hands the calls on to the library of the machine's default mail client,
// which the program registered as an administrator does: Wine reads HKLM only, each
// bitness its own view of it.
TEST_F(SubmissionWineTest, ProgramsSendThroughTheLibraryItselfOrWinesMapi32) {
    const std::string client = kMailClients + "\\Tovela Notifier";
    for (const auto& [view, dll] : {std::pair<std::string, std::string>{"/reg:64", "tnmapi32.dll"},
                                    {"/reg:32", "x86\\tnmapi32.dll"}}) {
        SCOPED_TRACE(view);
        ASSERT_EQ(prefix_->RegValue(kMailClients, "", {view}), "REG_SZ\tTovela Notifier");
        for (const char* value : {"DllPath", "DllPathEx"})
            ASSERT_EQ(prefix_->RegValue(client, value, {view}), "REG_SZ\t" + kFolder + dll);
    }
    struct Send {
        std::string library, entry, subject;
        bool x86;
        int seed;
    } sends[] = {
        {kFolder + "tnmapi32.dll", "MAPISendMail", "会議の資料", false, 2},
        {"mapi32.dll", "MAPISendMail", "会議の資料 (mapi32)", false, 3},
        {"mapi32.dll", "MAPISendMailW", "会議の資料 (mapi32 W)", false, 4},
        {"mapi32.dll", "MAPISendMail", "会議の資料 (32-bit mapi32)", true, 7},
    };
    for (const Send& send : sends) {
        SCOPED_TRACE(send.library + " " + send.entry + (send.x86 ? " 32-bit" : ""));
        const std::string name = "会議の資料 " + std::to_string(send.seed) + ".bin";
        const std::string bytes = Attachment(send.seed);
        const fs::path file = Write(name, bytes);
        // Loaded by path, or by mapi32, which passed the call on.
        EXPECT_EQ(SendMail(send.library, send.entry, send.subject, name, send.x86),
                  "result 0\nprovider loaded\n");
        fs::remove(file);
        ExpectDelivered(send.subject, name, bytes);
    }
}

TEST_F(SubmissionWineTest, SendToBriefcaseStoresBothFiles) {
    const std::string first = Attachment(5), second = Attachment(6);
    Write("見積書 A.xls", first);
    Write("b.txt", second);
    ASSERT_EQ(prefix_->Wine({kFolder + "TovelaNotifier.exe", "/briefcase",
                             WindowsPath("見積書 A.xls"), WindowsPath("b.txt")}),
              0);
    ASSERT_TRUE(WaitUntil([] { return server_->Documents().size() == 2; }, 60s))
        << server_->Documents().dump(1) << prefix_->Trace();
    const json documents = server_->Documents();
    EXPECT_EQ(documents[0]["name"], "見積書 A.xls");
    EXPECT_EQ(documents[0]["sha256"], Sha256(first));
    EXPECT_EQ(documents[1]["name"], "b.txt");
    EXPECT_EQ(documents[1]["sha256"], Sha256(second));
    EXPECT_TRUE(WaitUntil([] { return OutboxItems() == 0; }, 30s));
}

}  // namespace
}  // namespace tovela::testing
