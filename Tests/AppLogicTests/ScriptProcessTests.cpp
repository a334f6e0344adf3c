#include "ScriptProcess.h"

#include <QObject>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using namespace std::chrono_literals;

QStringList* messages = nullptr;

void keepMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    messages->append(message);
}

// The interpreter is the shell here, which like osascript reads its script from standard input:
// the exit status each script asks for shows that it arrived.
TEST(ScriptProcessTest, AnswersWithoutBlockingAndLogsEveryFailure) {
    const struct {
        const char* name;
        QString program;
        QString script;
        bool succeeds;
        QString logged;
    } cases[] = {
        {"exits 0", "/bin/sh", "true\nexit 0", true, ""},
        {"reports an error", "/bin/sh",
         "echo 'execution error: Not authorised to send Apple events (-1743)' >&2; exit 1", false,
         "[Mofli] TerminalActivator error: execution error: Not authorised to send Apple events "
         "(-1743)"},
        {"fails silently", "/bin/sh", "exit 2", false,
         "[Mofli] TerminalActivator error: exit status 2"},
        {"never answers", "/bin/sh", "exec sleep 30", false,
         "[Mofli] TerminalActivator error: no answer in time"},
        {"is missing", "/nonexistent/osascript", "", false, "[Mofli] TerminalActivator error: "},
    };
    for (const auto& c : cases) {
        QStringList logged;
        messages = &logged;
        const QtMessageHandler previous = qInstallMessageHandler(keepMessage);
        QObject context;
        std::optional<bool> answer;
        ScriptProcess::run(c.program, c.script, 500ms, &context,
                           [&answer](bool succeeded) { answer = succeeded; });
        EXPECT_FALSE(answer && c.program == "/bin/sh") << c.name << ": answered before running";
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 5000)) << c.name;
        qInstallMessageHandler(previous);
        EXPECT_EQ(answer, c.succeeds) << c.name;
        if (c.logged.isEmpty()) {
            EXPECT_TRUE(logged.isEmpty()) << c.name;
        } else {
            ASSERT_EQ(logged.size(), 1) << c.name;
            EXPECT_TRUE(logged.front().startsWith(c.logged))
                << c.name << ": " << logged.front().toStdString();
        }
    }
}

// A click whose pet is gone by the time the script ends: the answer is dropped.
TEST(ScriptProcessTest, AnswersNothingOnceItsContextIsGone) {
    bool answered = false;
    auto context = std::make_unique<QObject>();
    ScriptProcess::run("/bin/sh", "exec sleep 30", 10s, context.get(),
                       [&answered](bool) { answered = true; });
    context.reset();
    QTest::qWait(100);
    EXPECT_FALSE(answered);
}

} // namespace
