#include "tests/app/PlayerTest.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include "audio/AudioLibrary.h"
#include "platform/CodePage.h"
#include "tests/fixtures/Fixtures.h"

void PlayerTest::SetUp() {
    home = fixtures::MakeTempDir("nilo-app");
    ASSERT_TRUE(fixtures::Run("cp -r " + fixtures::ShellQuote(NILO_BUILD_DIR "/Lng") + " " +
                              fixtures::ShellQuote(home + "/Lng")));
    setenv("NILO_HOME", home.c_str(), 1);
    Channel = 0;
    StartupComplete = false;
    Messages = TMess();
}

void PlayerTest::TearDown() {
    windows.reset();
    EXPECT_EQ(Channel, 0u);
    Channel = 0;
    audio::closeOutput();
    unsetenv("NILO_HOME");
    fixtures::RemoveTree(home);
}

bool PlayerTest::Start(const std::vector<std::string>& Arguments) {
    windows = std::make_unique<PlayerWindows>();
    if (!windows->Form1.FormCreate(Arguments)) return false;
    windows->Form1.show();
    windows->Form1.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&windows->Form1));
    return true;
}

std::string PlayerTest::MakeWav(const std::string& Name, double Seconds) {
    const std::string path = home + "/" + Name;
    const auto frames = static_cast<uint64_t>(Seconds * 44100);
    EXPECT_TRUE(fixtures::WriteWav16(path, 44100, 2, fixtures::ToInt16(fixtures::TestSignal(44100, 2, frames))));
    return path;
}

std::string PlayerTest::Read(const std::string& Name) const {
    std::ifstream in(home + "/" + Name, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void PlayerTest::Write(const std::string& Name, const std::string& Content) const {
    std::ofstream(home + "/" + Name, std::ios::binary) << Content;
}

bool PlayerTest::Exists(const std::string& Name) const {
    struct stat st {};
    return ::stat((home + "/" + Name).c_str(), &st) == 0;
}

std::string PlayerTest::LanguageLine(const std::string& File, int Line) const {
    std::istringstream lines(Read("Lng/" + File));
    std::string text;
    for (int i = 0; i < Line && std::getline(lines, text); ++i) {
    }
    if (!text.empty() && text.back() == '\r') text.pop_back();
    text = text.substr(text.rfind('=') + 1);
    return platform::IsValidUtf8(text) ? text : platform::ConvertText(text, "WINDOWS-1251", "UTF-8");
}

void PlayerTest::AnswerNextModal(const std::function<void(QWidget*)>& Answer) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, Answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        Answer(modal);
    });
    poll->start(10);
}

void PlayerTest::ClickMenu(std::initializer_list<QAction*> Path) {
    QWidget* container = Form().menuBar();
    for (QAction* action : Path) {
        const QRect place = container == Form().menuBar() ? Form().menuBar()->actionGeometry(action)
                                                           : static_cast<QMenu*>(container)->actionGeometry(action);
        QTest::mouseClick(container, Qt::LeftButton, {}, place.center());
        if (!action->menu()) break;
        EXPECT_TRUE(QTest::qWaitFor([&] { return action->menu()->isVisible(); }, 2000)) << "menu did not open";
        container = action->menu();
    }
    QTest::qWait(20);
}

int PlayerTest::ClientHeight() {
    return Form().centralWidget()->height();
}

void PlayerTest::Wait(int Milliseconds) {
    QTest::qWait(Milliseconds);
}
