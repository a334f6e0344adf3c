#include "TwoSessions.h"

#include "ChildProcess.h"
#include "FakeMessagesApi.h"
#include "MofliLinkManager.h"
#include "Paths.h"
#include "SavedEnvironment.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string claudeCli = MOFLI_CLAUDE_CLI;
const std::string node = MOFLI_NODE;
const std::string fakeApiScript = MOFLI_FAKE_MESSAGES_API;
const std::string stagedPlugin = MOFLI_STAGED_PLUGIN_DIR;

const std::string apiKey = "sk-ant-test-not-a-key";
const std::string serverName = "mofli-sessions";
// What a session's screen shows once it takes input, and while a permission prompt is open.
const std::string readyText = "for shortcuts";
const std::string promptText = "Do you want to proceed?";

std::optional<std::string> findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + program;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string fileText(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), {}};
}

QJsonObject jsonFile(const std::string& path) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(fileText(path))).object();
}

} // namespace

struct TwoSessions::Impl {
    explicit Impl(std::string scratch) : scratch(std::move(scratch)) {}

    const std::string scratch;
    const std::string tmux = findOnPath("tmux").value_or("tmux");
    SavedEnvironment savedEnvironment{"PATH",
                                      "LANG",
                                      "TERM",
                                      "SHELL",
                                      "TMPDIR",
                                      "TMUX",
                                      "TMUX_TMPDIR",
                                      "MOFLI_RESOURCE_DIR",
                                      "ANTHROPIC_API_KEY",
                                      "ANTHROPIC_BASE_URL",
                                      "CLAUDE_CODE_DISABLE_OFFICIAL_MARKETPLACE_AUTOINSTALL",
                                      "CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC",
                                      "DISABLE_TELEMETRY"};
    std::unique_ptr<FakeMessagesApi> apiA;
    std::unique_ptr<FakeMessagesApi> apiB;
    bool serverStarted = false;
    const Options* options = nullptr;

    std::string untilFile() const { return scratch + "/b-may-finish"; }
    std::string debugLog(const Session& session) const {
        return scratch + "/" + session.name + "-debug.log";
    }

    // The tmux server gets the environment Claude Code needs and nothing of the caller's own
    // Claude Code set-up; tmux adds its own variables in each session.
    std::vector<std::string> environment() const {
        const char* path = std::getenv("PATH");
        return {"HOME=" + Paths::home().toStdString(),
                std::string("PATH=") + (path != nullptr ? path : "/usr/bin:/bin"),
                "LANG=C.UTF-8",
                "TERM=xterm-256color",
                "TMPDIR=" + scratch + "/tmp",
                "TMUX_TMPDIR=" + scratch + "/tmux",
                "CLAUDE_CODE_DISABLE_OFFICIAL_MARKETPLACE_AUTOINSTALL=1",
                "CLAUDE_CODE_DISABLE_NONESSENTIAL_TRAFFIC=1",
                "DISABLE_TELEMETRY=1",
                "ANTHROPIC_API_KEY=" + apiKey};
    }

    ChildResult runTmux(std::vector<std::string> arguments) const {
        ChildCommand command;
        command.arguments = {tmux, "-L", serverName};
        command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
        command.environment = environment();
        command.timeLimit = 10s;
        return ChildProcess::run(command);
    }

    std::string screen(const Session& session) const {
        return runTmux({"capture-pane", "-p", "-t", session.name}).output;
    }

    bool running(const Session& session) const {
        return runTmux({"has-session", "-t", session.name}).exitStatus == 0;
    }

    // Types `text` and presses Enter once the session shows it: keys sent while Claude Code
    // still draws would be taken as a paste.
    bool type(const Session& session, const std::string& text, std::string& failure) {
        runTmux({"send-keys", "-t", session.name, "-l", text});
        if (!waitFor(
                "the prompt typed into " + session.name,
                [&] { return screen(session).find(text) != std::string::npos; }, 10s, failure)) {
            return false;
        }
        runTmux({"send-keys", "-t", session.name, "Enter"});
        return true;
    }

    // Links the plugin as the app does, with `claude` where Claude Code's native installer puts
    // it, the first place the app looks. The reason when that fails.
    std::string link() const {
        const std::string home = Paths::home().toStdString();
        fs::create_directories(home + "/.local/bin");
        fs::remove(home + "/.local/bin/claude");
        fs::create_symlink(claudeCli, home + "/.local/bin/claude");
        const auto error = MofliLinkManager::link();
        return error ? "the app could not link its plugin: " +
                           error->localizedDescription().toStdString()
                     : std::string();
    }

    // Past the first-run questions: theme, the key from the environment, trust in each folder.
    static void skipFirstRunQuestions(std::initializer_list<const Session*> sessions) {
        const std::string settings = Paths::home().toStdString() + "/.claude.json";
        QJsonObject config = jsonFile(settings);
        config["hasCompletedOnboarding"] = true;
        config["theme"] = "dark";
        config["customApiKeyResponses"] = QJsonObject{
            {"approved", QJsonArray{QString::fromStdString(apiKey.substr(apiKey.size() - 20))}},
            {"rejected", QJsonArray{}}};
        QJsonObject projects = config["projects"].toObject();
        for (const Session* session : sessions) {
            projects[QString::fromStdString(session->folder)] =
                QJsonObject{{"hasTrustDialogAccepted", true}};
        }
        config["projects"] = projects;
        std::ofstream(settings, std::ios::binary | std::ios::trunc)
            << QJsonDocument(config).toJson().toStdString();
    }

    // Starts Claude Code for `session` in a tmux session of its name, answered by `api`.
    bool start(const Session& session, const FakeMessagesApi& fakeApi,
               const std::vector<std::string>& more) {
        // The session's own Messages API; the rest of the environment is the server's.
        const std::string api = "ANTHROPIC_BASE_URL=" + fakeApi.baseUrl();
        std::vector<std::string> arguments = {"new-session", "-d", "-x", "160", "-y", "48"};
        const std::vector<std::string> where = {"-s", session.name, "-c", session.folder,
                                                "-e", api,          "--"};
        arguments.insert(arguments.end(), where.begin(), where.end());
        const std::vector<std::string> claude = {
            claudeCli, "--session-id", session.id,       "--permission-mode",
            "default", "--debug-file", debugLog(session)};
        arguments.insert(arguments.end(), claude.begin(), claude.end());
        arguments.insert(arguments.end(), more.begin(), more.end());
        serverStarted = true;
        return runTmux(arguments).exitStatus == 0;
    }

    static QJsonObject record(const Session& session) { return jsonFile(session.recordFile); }

    static std::string recordState(const Session& session) {
        return record(session).value("state").toString().toStdString();
    }

    void tick() const {
        if (options->tick) {
            options->tick();
        }
    }

    void reached(Step step) const {
        if (options->reached) {
            options->reached(step);
        }
    }

    // Ticks about every 20 ms and asks `done` about every 100 ms until it holds or `limit` passed.
    bool waitFor(const std::string& what, const std::function<bool()>& done,
                 std::chrono::milliseconds limit, std::string& failure) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        auto nextLook = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < deadline) {
            if (std::chrono::steady_clock::now() >= nextLook) {
                if (done()) {
                    return true;
                }
                nextLook = std::chrono::steady_clock::now() + 100ms;
            }
            tick();
            std::this_thread::sleep_for(20ms);
        }
        if (done()) {
            return true;
        }
        failure = "timed out waiting for " + what;
        return false;
    }

    void pause(std::chrono::milliseconds duration) const {
        std::string ignored;
        waitFor(
            "the end of a pause", [] { return false; }, duration, ignored);
    }

    std::string context(const Session& a, const Session& b) const {
        std::ostringstream text;
        for (const Session* session : {&a, &b}) {
            text << "\n--- " << session->name << " on screen:\n"
                 << (serverStarted ? screen(*session) : std::string("(not started)"))
                 << "\n--- its record:\n"
                 << fileText(session->recordFile) << "\n--- its hook runs:\n";
            std::istringstream lines(fileText(debugLog(*session)));
            for (std::string line; std::getline(lines, line);) {
                if (line.find("MofliHook") != std::string::npos) {
                    text << line << "\n";
                }
            }
        }
        for (const auto* api : {apiA.get(), apiB.get()}) {
            text << "--- requests:\n" << (api ? api->requestLog() : std::string("(none)"));
        }
        return text.str();
    }
};

TwoSessions::TwoSessions(std::string scratch) : impl_(std::make_unique<Impl>(std::move(scratch))) {
    const auto makeSession = [&](const std::string& name) {
        Session session;
        session.name = name;
        fs::create_directories(impl_->scratch + "/" + name);
        // Claude Code knows a folder by its real path.
        session.folder = fs::canonical(impl_->scratch + "/" + name).string();
        session.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
        const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(session.id),
                                                         QCryptographicHash::Sha1);
        session.recordFile = (Paths::sessionsDir() + "/" + hash.toHex() + ".json").toStdString();
        return session;
    };
    a_ = makeSession("alpha");
    b_ = makeSession("beta");
    for (const char* folder : {"/tmp", "/tmux"}) {
        fs::create_directories(impl_->scratch + folder);
    }
    // The app's link runs `claude` with the app's own environment: make that the offline one.
    for (const std::string& entry : impl_->environment()) {
        const auto equals = entry.find('=');
        if (entry.compare(0, equals, "HOME") != 0) {
            qputenv(entry.substr(0, equals).c_str(),
                    QByteArray::fromStdString(entry.substr(equals + 1)));
        }
    }
    qunsetenv("TMUX");
    // Any loopback address spares the `plugin` commands their attempts to reach the real API.
    qputenv("ANTHROPIC_BASE_URL", "http://127.0.0.1:9");
    qputenv("MOFLI_RESOURCE_DIR", QFile::encodeName(QString::fromStdString(
                                      fs::path(stagedPlugin).parent_path().string())));
    // No login shell may find a `claude` of this machine.
    qputenv("SHELL", "/bin/false");
}

TwoSessions::~TwoSessions() {
    if (impl_->serverStarted) {
        impl_->runTmux({"kill-server"});
    }
}

std::string TwoSessions::unavailable() {
    if (::access(claudeCli.c_str(), X_OK) != 0) {
        return "no Claude Code CLI at " + claudeCli +
               ": scripts/setup installs it with npm, which was missing or could not reach the "
               "registry";
    }
    if (node.empty()) {
        return "no node was found when the build was configured; the fake Messages API runs on "
               "Node (scripts/setup installs it)";
    }
    if (!findOnPath("tmux")) {
        return "tmux is not installed (scripts/setup installs it)";
    }
    return {};
}

std::vector<std::string> TwoSessions::tmuxCommand() const {
    return {impl_->tmux, "-L", serverName};
}

bool TwoSessions::run(const Options& options) {
    Impl& impl = *impl_;
    impl.options = &options;
    const auto fail = [&](const std::string& why) {
        failure_ = why + "\n" + impl.context(a_, b_);
        return false;
    };

    if (const std::string why = impl.link(); !why.empty()) {
        return fail(why);
    }
    impl.skipFirstRunQuestions({&a_, &b_});
    // Longer than any run; a fake API ends by itself after its lifetime.
    const std::string lifetime = std::to_string(
        std::chrono::duration_cast<std::chrono::seconds>(options.wait).count() + 600);
    try {
        impl.apiA = std::make_unique<FakeMessagesApi>(
            node, fakeApiScript,
            std::vector<std::string>{"--lifetime", lifetime, "--command", "touch approved.txt"});
        impl.apiB = std::make_unique<FakeMessagesApi>(
            node, fakeApiScript,
            std::vector<std::string>{"--lifetime", lifetime, "--command", "sleep 1", "--until-file",
                                     impl.untilFile()});
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    // A runs in the default mode, where a command that changes files needs the user's yes; B may
    // run any command unasked.
    if (!impl.start(a_, *impl.apiA, {}) ||
        !impl.start(b_, *impl.apiB, {"--allowedTools", "Bash"})) {
        return fail("tmux could not start the sessions");
    }
    const auto ready = [&](const Session& session) {
        return fs::exists(session.recordFile) &&
               impl.screen(session).find(readyText) != std::string::npos;
    };
    if (!impl.waitFor(
            "both sessions at their prompt", [&] { return ready(a_) && ready(b_); }, 90s,
            failure_)) {
        return fail(failure_);
    }
    impl.reached(Step::started);

    if (!impl.type(a_, "Please create approved.txt", failure_) ||
        !impl.waitFor(
            "A's permission prompt",
            [&] {
                return Impl::recordState(a_) == "waiting" &&
                       impl.screen(a_).find(promptText) != std::string::npos;
            },
            60s, failure_)) {
        return fail(failure_);
    }
    impl.reached(Step::aWaits);

    if (!impl.type(b_, "Keep checking the build", failure_) ||
        !impl.waitFor(
            "B's first command",
            [&] {
                return Impl::record(b_).value("message").toString().startsWith(
                    QStringLiteral("$ "));
            },
            60s, failure_)) {
        return fail(failure_);
    }
    impl.reached(Step::bWorks);

    impl.pause(options.wait);
    if (impl.screen(a_).find(promptText) == std::string::npos) {
        return fail("A's permission prompt closed before it was answered");
    }
    impl.runTmux({"send-keys", "-t", a_.name, "1"});
    std::ofstream(impl.untilFile()) << "done\n";
    impl.reached(Step::aAnswered);

    if (!impl.waitFor(
            "both turns to end",
            [&] { return Impl::recordState(a_) == "waving" && Impl::recordState(b_) == "waving"; },
            60s, failure_)) {
        return fail(failure_);
    }
    impl.reached(Step::bothFinished);

    // Claude Code quits on a second Ctrl-D; a key that comes while it redraws may be lost, so
    // they are sent again until the session is gone.
    const bool quit = impl.waitFor(
        "both sessions to quit",
        [&] {
            bool any = false;
            for (const Session* session : {&a_, &b_}) {
                if (impl.running(*session)) {
                    impl.runTmux({"send-keys", "-t", session->name, "C-d"});
                    any = true;
                }
            }
            return !any && !fs::exists(a_.recordFile) && !fs::exists(b_.recordFile);
        },
        30s, failure_);
    if (!quit) {
        return fail(failure_);
    }
    impl.reached(Step::ended);
    return true;
}
