// The tag editor on MP3 files made by lame and tagged by mutagen, and on Ogg
// files made by oggenc, checked afterwards by our readers and by mutagen.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "audio/AudioLibrary.h"
#include "tags/TagAccess.h"
#include "tests/app/PlayerTest.h"
#include "tests/fixtures/Fixtures.h"
#include "testdata/TaggedEncodings.h"

namespace {

std::string Python(const std::string& Script) {
    std::string output;
    EXPECT_TRUE(fixtures::Capture("/usr/bin/python3 -c " + fixtures::ShellQuote(Script), output)) << Script;
    return output;
}

// A tagged MP3: ID3v2 (Cyrillic title, no track, a 3000-byte cover) and an
// ID3v1 tag of its own.
std::string TaggedMp3(const std::string& Wav, const std::string& Mp3) {
    EXPECT_TRUE(fixtures::EncodeMp3(Wav, Mp3, "--silent"));
    Python("import mutagen.id3 as m\n"
           "t = m.ID3()\n"
           "t.add(m.TIT2(encoding=1, text='Песня'))\n"
           "t.add(m.TPE1(encoding=1, text='Artist Two'))\n"
           "t.add(m.TCOM(encoding=1, text='Composer'))\n"
           "t.add(m.APIC(encoding=0, mime='image/png', type=3, desc='', data=bytes(range(250)) * 12))\n"
           "t.save('" + Mp3 + "', v2_version=3, v1=0)\n"
           "f = open('" + Mp3 + "', 'ab')\n"
           "f.write(b'TAG' + b'V1 Title'.ljust(30, b'\\0') + b'V1 Artist'.ljust(30, b'\\0') + bytes(64) + b'\\x0c')\n");
    return Mp3;
}

std::string CoverBytes(const std::string& Mp3) {
    return Python("import mutagen.id3 as m\nprint(m.ID3('" + Mp3 + "').getall('APIC')[0].data.hex())");
}

} // namespace

using TagEditorTest = PlayerTest;

TEST_F(TagEditorTest, EditTagsRefusesWhatItCannotEditAndOpensModally) {
    const std::string wav = MakeWav("a.wav", 1);
    const std::string mp3 = TaggedMp3(wav, home + "/b.mp3");
    ASSERT_TRUE(Start());
    std::vector<std::string> seen;
    const auto expectBox = [&](QMessageBox::Icon Icon) {
        AnswerNextModal([&, Icon](QWidget* Modal) {
            auto* box = qobject_cast<QMessageBox*>(Modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->icon(), Icon);
            seen.push_back(box->text().toStdString() + "|" + box->windowTitle().toStdString());
            box->accept();
        });
    };
    expectBox(QMessageBox::Information);
    Form().Tags1Click();
    Engine().AddEntry(wav);
    Engine().AddEntry(mp3);
    Form().setSelectedRow(-1);
    expectBox(QMessageBox::Information);
    Form().Tags1Click();
    Form().setSelectedRow(0);
    expectBox(QMessageBox::Warning);
    Form().Tags1Click();
    EXPECT_EQ(seen, (std::vector<std::string>{Messages[18] + "|" + Messages[17], Messages[16] + "|" + Messages[17],
                                              Messages[19] + "|" + Messages[17]}));

    Form().setSelectedRow(1);
    Engine().PlaySelectedEntry();
    ASSERT_EQ(audio::activity(Channel), audio::kPlaying);
    TTagEditBox& box = windows->TagEditBox;
    bool modal = false;
    AnswerNextModal([&](QWidget* Modal) {
        modal = Modal == &box;
        EXPECT_TRUE(box.R1->isChecked());
        EXPECT_FALSE(box.R3->isEnabled());
        for (QWidget* off : std::initializer_list<QWidget*>{box.Composer, box.Copyright, box.Encoder, box.Track,
                                                            box.Language, box.Web})
            EXPECT_FALSE(off->isEnabled());
        EXPECT_EQ(box.Title->text().toStdString(), "V1 Title");
        EXPECT_EQ(box.windowTitle().toStdString(), Messages[25]);
        EXPECT_EQ(box.Title->accessibleName().toStdString(), Messages[33]);
        box.close();
    });
    ClickMenu({Form().Options1->menuAction(), Form().Tags1});
    EXPECT_TRUE(modal);
    EXPECT_NE(audio::activity(Channel), audio::kPlaying) << "playback stops before the editor opens";
}

TEST_F(TagEditorTest, TheReadOnlyKindsAreRefusedAsOthersAre) {
    const std::string wav = MakeWav("a.wav", 1);
    using fixtures::TaggedKind;
    const std::pair<TaggedKind, std::string> kinds[] = {
        {TaggedKind::Flac, "b.flac"}, {TaggedKind::Opus, "c.opus"}, {TaggedKind::M4aAac, "d.m4a"},
        {TaggedKind::M4aAlac, "e.mp4"}};
    ASSERT_TRUE(Start());
    int refused = 0;
    for (const auto& [kind, name] : kinds) {
        ASSERT_TRUE(fixtures::EncodeTagged(kind, wav, home + "/" + name, {.Title = "Title"})) << name;
        Engine().AddEntry(home + "/" + name);
        Form().setSelectedRow(int(Engine().Paths.size()) - 1);
        AnswerNextModal([&](QWidget* Modal) {
            auto* box = qobject_cast<QMessageBox*>(Modal);
            ASSERT_NE(box, nullptr);
            refused += box->text().toStdString() == Messages[19] && box->icon() == QMessageBox::Warning;
            box->accept();
        });
        Form().Tags1Click();
    }
    EXPECT_EQ(refused, 4);
}

TEST_F(TagEditorTest, Id3TagsLoadSaveAndRefreshTheRow) {
    const std::string mp3 = TaggedMp3(MakeWav("a.wav", 1), home + "/b.mp3");
    const std::string cover = CoverBytes(mp3);
    ASSERT_TRUE(Start());
    Engine().AddEntry(mp3);
    Form().setSelectedRow(0);
    TTagEditBox& box = windows->TagEditBox;
    TagEditKind = 1;
    box.show();

    QTest::mouseClick(box.R2, Qt::LeftButton);
    EXPECT_EQ(TagEditKind, 2);
    for (QWidget* field : std::initializer_list<QWidget*>{box.Title, box.Artist, box.Album, box.Year, box.Genre, box.Comment, box.Composer,
                           box.Copyright, box.Encoder, box.Track, box.Language, box.Web})
        EXPECT_TRUE(field->isEnabled());
    EXPECT_EQ(box.Title->text().toStdString(), "Песня");
    EXPECT_EQ(box.Composer->text().toStdString(), "Composer");
    EXPECT_EQ(box.Track->text().toStdString(), "") << "no track number is not shown as 0";
    QTest::mouseClick(box.R1, Qt::LeftButton);
    QTest::mouseClick(box.R2, Qt::LeftButton);
    EXPECT_EQ(box.Genre->count(), kGenreCount);

    // Only the last character is looked at, and typing stops at the limit.
    QTest::keyClicks(box.Year, "19a");
    EXPECT_EQ(box.Year->text(), "");
    QTest::keyClicks(box.Year, "200711");
    EXPECT_EQ(box.Year->text(), "2007");
    box.Track->clear();
    QTest::keyClicks(box.Track, "12");
    QTest::keyClick(box.Track, Qt::Key_Left);
    QTest::keyClicks(box.Track, "a");
    EXPECT_EQ(box.Track->text(), "1a2");

    // A track that is no number fails the save, and OK keeps the dialog.
    Engine().SaveTags = true;
    AnswerNextModal([](QWidget* Modal) { static_cast<QDialog*>(Modal)->accept(); });
    QTest::mouseClick(box.OK, Qt::LeftButton);
    EXPECT_TRUE(box.isVisible());

    box.Track->setText("7");
    box.Title->clear();
    box.Title->insert("日本語のタイトル");
    std::string confirmation;
    AnswerNextModal([&](QWidget* Modal) {
        confirmation = static_cast<QMessageBox*>(Modal)->text().toStdString();
        static_cast<QDialog*>(Modal)->accept();
    });
    QTest::mouseClick(box.Save, Qt::LeftButton);
    EXPECT_EQ(confirmation, Messages[22]);
    EXPECT_EQ(ReadID3v2(mp3).Title, "日本語のタイトル");
    EXPECT_EQ(Python("import mutagen.id3 as m\nt = m.ID3('" + mp3 + "')\nprint(t['TIT2'], t['TRCK'], t['TDRC'])"),
              "日本語のタイトル 7 2007\n");
    EXPECT_EQ(CoverBytes(mp3), cover) << "the cover stays byte for byte";

    // OK without autosave writes nothing; the row follows ReadTags, where the
    // ID3v1 title wins.
    Engine().SaveTags = false;
    box.Title->setText("Not written");
    const std::string before = Read("b.mp3");
    QTest::mouseClick(box.OK, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(Read("b.mp3"), before);
    EXPECT_EQ(Form().rowText(0), "V1 Artist - V1 Title  (00:01)");

    // ID3v1 keeps what the legacy code page holds; Remove takes only it.
    setenv("NILO_CODEPAGE", "WINDOWS-1251", 1);
    TagEditKind = 1;
    box.show();
    box.Title->setText("Привет 日本");
    AnswerNextModal([](QWidget* Modal) { static_cast<QDialog*>(Modal)->accept(); });
    QTest::mouseClick(box.Save, Qt::LeftButton);
    EXPECT_EQ(ReadID3v1(mp3).Title, "Привет ??");
    unsetenv("NILO_CODEPAGE");
    AnswerNextModal([](QWidget* Modal) { static_cast<QDialog*>(Modal)->accept(); });
    QTest::mouseClick(box.Remove, Qt::LeftButton);
    EXPECT_EQ(box.Title->text(), "");
    EXPECT_EQ(ReadID3v2(mp3).Title, "日本語のタイトル");

    QTest::mouseClick(box.Savetags, Qt::LeftButton);
    EXPECT_TRUE(Engine().SaveTags);
    EXPECT_NE(Read("config.cfg").find("SaveTags=1\r\n"), std::string::npos);
    box.close();
}

TEST_F(TagEditorTest, VorbisCommentsKeepDateTrackAndWhatTheEditorDoesNotShow) {
    const std::string ogg = home + "/c.ogg";
    ASSERT_TRUE(fixtures::EncodeOgg(MakeWav("a.wav", 1), ogg,
                                    "--quiet -t Title -a Artist -d 2001-05-06 -N 3 -c COMPOSER=Someone"));
    const std::string broken = home + "/broken.ogg";
    ASSERT_TRUE(fixtures::Run("cp " + fixtures::ShellQuote(ogg) + " " + fixtures::ShellQuote(broken)));
    ASSERT_TRUE(Start());
    Engine().AddEntry(ogg);
    Engine().AddEntry(broken);
    Write("broken.ogg", "OggS not really");
    Form().setSelectedRow(0);
    TTagEditBox& box = windows->TagEditBox;
    TagEditKind = 3;
    box.show();
    EXPECT_TRUE(box.R3->isChecked());
    EXPECT_FALSE(box.R1->isEnabled());
    EXPECT_FALSE(box.R2->isEnabled());
    for (QWidget* off : std::initializer_list<QWidget*>{box.Composer, box.Copyright, box.Encoder, box.Language, box.Web})
        EXPECT_FALSE(off->isEnabled());
    EXPECT_EQ(box.Year->text(), "2001-05-06");
    EXPECT_EQ(box.Track->text(), "3");

    box.Title->setText("New title");
    AnswerNextModal([](QWidget* Modal) { static_cast<QDialog*>(Modal)->accept(); });
    QTest::mouseClick(box.Save, Qt::LeftButton);
    EXPECT_EQ(Python("import mutagen.oggvorbis as o\nf = o.OggVorbis('" + ogg +
                     "')\nprint(f['title'], f['date'], f['tracknumber'], f['composer'])"),
              "['New title'] ['2001-05-06'] ['3'] ['Someone']\n");

    // A file that is no Ogg Vorbis ends the action with its error; the
    // dialog stays usable.
    Form().setSelectedRow(1);
    std::string error;
    AnswerNextModal([&](QWidget* Modal) {
        error = static_cast<QMessageBox*>(Modal)->text().toStdString();
        static_cast<QDialog*>(Modal)->accept();
    });
    QTest::mouseClick(box.R3, Qt::LeftButton);
    EXPECT_FALSE(error.empty());
    Form().setSelectedRow(0);
    AnswerNextModal([](QWidget* Modal) { static_cast<QDialog*>(Modal)->accept(); });
    QTest::mouseClick(box.Remove, Qt::LeftButton);
    EXPECT_EQ(box.Title->text(), "");
    EXPECT_EQ(Python("import mutagen.oggvorbis as o\nprint(len(o.OggVorbis('" + ogg + "').tags))"), "0\n");

    // OK with autosave writes first, then the row follows the file.
    Engine().SaveTags = true;
    box.Title->setText("Written by OK");
    QTest::mouseClick(box.OK, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(ReadOggVorbis(ogg).Title, "Written by OK");
    EXPECT_EQ(Form().rowText(0), "Written by OK  (00:01)");
}
