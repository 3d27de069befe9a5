#include "app/Tonik_tags.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "app/Tonik_mainform.h"
#include "app/TypingLimit.h"
#include "engine/TagTitle.h"

int TagEditKind = 1;

namespace {

QString Text(const std::string& Utf8) { return QString::fromStdString(Utf8); }
std::string Utf8(const QString& Text) { return Text.toStdString(); }

// A label over its field; the field's accessible name is the label's text.
template <typename Field>
Field* LabelledField(QWidget* Group, QLabel*& Label, const QString& Caption, int X, int Y, int Width,
                     int Limit) {
    Label = new QLabel(Caption, Group);
    Label->setGeometry(X, Y + 4, Width, 16);
    auto* field = new Field(Group);
    field->setGeometry(X, Y + 20, Width, 22);
    Label->setBuddy(field);
    QLineEdit* edit;
    if constexpr (std::is_same_v<Field, QComboBox>) {
        field->setEditable(true);
        field->setInsertPolicy(QComboBox::NoInsert);
        edit = field->lineEdit();
    } else {
        edit = field;
    }
    new TypingLimit(*edit, Limit);
    return field;
}

// Only the last character is looked at: a text that does not end in a digit
// is emptied.
void DigitFilter(QLineEdit* Field) {
    const QString text = Field->text();
    if (!text.isEmpty() && !text.back().isDigit()) Field->setText(QString());
}

} // namespace

TTagEditBox::TTagEditBox(TForm1& Owner) : QDialog(&Owner), form_(Owner) {
    setWindowTitle(QStringLiteral("Edit tags"));
    setFixedSize(477, 382);

    ViewTagsBox = new QGroupBox(QStringLiteral("View tags"), this);
    ViewTagsBox->setGeometry(8, 4, 461, 44);
    R1 = new QRadioButton(QStringLiteral("ID3v1"), ViewTagsBox);
    R1->setGeometry(16, 18, 90, 20);
    R1->setChecked(true);
    R2 = new QRadioButton(QStringLiteral("ID3v2"), ViewTagsBox);
    R2->setGeometry(136, 18, 90, 20);
    R3 = new QRadioButton(QStringLiteral("OGG Vorbis"), ViewTagsBox);
    R3->setGeometry(256, 18, 120, 20);

    EditOptBox = new QGroupBox(QStringLiteral("Edit tags"), this);
    EditOptBox->setGeometry(8, 52, 461, 52);
    Save = new QPushButton(QStringLiteral("Save"), EditOptBox);
    Save->setGeometry(12, 18, 90, 25);
    Clear = new QPushButton(QStringLiteral("Clear fields"), EditOptBox);
    Clear->setGeometry(108, 18, 100, 25);
    Remove = new QPushButton(QStringLiteral("Remove"), EditOptBox);
    Remove->setGeometry(214, 18, 90, 25);
    Savetags = new QCheckBox(QStringLiteral("Autosave on exit"), EditOptBox);
    Savetags->setGeometry(314, 20, 143, 20);

    MainGroup = new QGroupBox(QStringLiteral("Main"), this);
    MainGroup->setGeometry(8, 108, 229, 230);
    Title = LabelledField<QLineEdit>(MainGroup, TitleLabel, QStringLiteral("Title:"), 8, 16, 213, 30);
    Artist = LabelledField<QLineEdit>(MainGroup, ArtistLabel, QStringLiteral("Artist:"), 8, 56, 213, 30);
    Album = LabelledField<QLineEdit>(MainGroup, AlbumLabel, QStringLiteral("Album:"), 8, 96, 213, 30);
    Year = LabelledField<QLineEdit>(MainGroup, YearLabel, QStringLiteral("Year:"), 8, 136, 56, 4);
    Genre = LabelledField<QComboBox>(MainGroup, GenreLabel, QStringLiteral("Genre:"), 70, 136, 151, 30);
    Comment = LabelledField<QLineEdit>(MainGroup, CommentLabel, QStringLiteral("Comment:"), 8, 176, 213, 30);

    AdditionalGroup = new QGroupBox(QStringLiteral("Additional"), this);
    AdditionalGroup->setGeometry(241, 108, 228, 230);
    Composer =
        LabelledField<QLineEdit>(AdditionalGroup, ComposerLabel, QStringLiteral("Composer:"), 8, 16, 212, 32);
    Language =
        LabelledField<QLineEdit>(AdditionalGroup, LangLabel, QStringLiteral("Language:"), 8, 56, 212, 30);
    Web = LabelledField<QLineEdit>(AdditionalGroup, WebLabel, QStringLiteral("Web page:"), 8, 96, 212, 32);
    Track = LabelledField<QLineEdit>(AdditionalGroup, TrackLabel, QStringLiteral("Track #:"), 8, 136, 56, 5);
    Encoder =
        LabelledField<QLineEdit>(AdditionalGroup, EncoderLabel, QStringLiteral("Encoder:"), 70, 136, 150, 20);
    Copyright =
        LabelledField<QLineEdit>(AdditionalGroup, CopyrightLabel, QStringLiteral("Copyright:"), 8, 176, 212, 32);

    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setGeometry(201, 346, 75, 25);
    OK->setDefault(true);

    connect(R1, &QRadioButton::clicked, this, &TTagEditBox::R1Click);
    connect(R2, &QRadioButton::clicked, this, &TTagEditBox::R2Click);
    connect(R3, &QRadioButton::clicked, this, &TTagEditBox::R3Click);
    connect(Year, &QLineEdit::textChanged, this, &TTagEditBox::YearChange);
    connect(Track, &QLineEdit::textChanged, this, &TTagEditBox::TrackChange);
    connect(Save, &QPushButton::clicked, this, &TTagEditBox::SaveClick);
    connect(Clear, &QPushButton::clicked, this, &TTagEditBox::ClearClick);
    connect(Remove, &QPushButton::clicked, this, &TTagEditBox::RemoveClick);
    connect(Savetags, &QCheckBox::clicked, this, &TTagEditBox::SavetagsClick);
    connect(OK, &QPushButton::clicked, this, &TTagEditBox::OKClick);
}

void TTagEditBox::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    FormShow();
}

void TTagEditBox::FormShow() {
    load();
}

void TTagEditBox::R1Click() {
    TagEditKind = 1;
    load();
}

void TTagEditBox::R2Click() {
    TagEditKind = 2;
    load();
}

void TTagEditBox::R3Click() {
    TagEditKind = 3;
    load();
}

void TTagEditBox::YearChange() {
    DigitFilter(Year);
}

void TTagEditBox::TrackChange() {
    DigitFilter(Track);
}

void TTagEditBox::SaveClick() {
    saveFields();
    QMessageBox::information(this, Text(Messages[23]), Text(Messages[22]));
}

void TTagEditBox::ClearClick() {
    clearFields();
}

void TTagEditBox::RemoveClick() {
    const std::string path = file();
    if (TagEditKind == 1)
        RemoveID3v1(path);
    else if (TagEditKind == 2)
        RemoveID3v2(path);
    else
        RemoveOggVorbis(path);
    QMessageBox::information(this, Text(Messages[23]), Text(Messages[24]));
    load();
}

void TTagEditBox::SavetagsClick() {
    form_.Tonik->SaveTags = Savetags->isChecked();
    form_.Tonik->SaveConfig();
}

void TTagEditBox::OKClick() {
    // A failed save keeps the dialog open with the user's texts.
    if (form_.Tonik->SaveTags && !saveFields()) return;
    const int row = form_.selectedRow();
    if (row < 0 || row >= form_.rowCount()) return;
    const TTagNames names = ReadTagsWithDuration(file(), false, 0);
    const std::string title = names.Artist.empty() ? names.Title : names.Artist + " - " + names.Title;
    form_.setRowText(row, title + "  (" + names.Duration + ")");
    accept();
}

std::string TTagEditBox::file() const {
    const int row = form_.selectedRow();
    const std::vector<std::string>& paths = form_.Tonik->Paths;
    if (form_.rowCount() == 0 || row < 0 || row >= form_.rowCount() || static_cast<size_t>(row) >= paths.size())
        return {};
    return paths[static_cast<size_t>(row)];
}

void TTagEditBox::setCaptions() {
    const std::pair<QWidget*, int> captioned[] = {
        {ViewTagsBox, 26},  {EditOptBox, 27},     {Save, 28},        {Clear, 29},       {Remove, 30},
        {Savetags, 31},     {MainGroup, 32},      {TitleLabel, 33},  {ArtistLabel, 34}, {AlbumLabel, 35},
        {YearLabel, 36},    {GenreLabel, 37},     {CommentLabel, 38}, {AdditionalGroup, 39},
        {ComposerLabel, 40}, {LangLabel, 41},     {WebLabel, 42},    {TrackLabel, 43},  {EncoderLabel, 44},
        {CopyrightLabel, 45}};
    setWindowTitle(Text(Messages[25]));
    for (const auto& [control, message] : captioned) {
        const QString caption = Text(Messages[message]);
        if (auto* group = qobject_cast<QGroupBox*>(control))
            group->setTitle(caption);
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->setText(caption);
        else if (auto* label = qobject_cast<QLabel*>(control)) {
            label->setText(caption);
            label->buddy()->setAccessibleName(caption);
        }
    }
}

void TTagEditBox::load() {
    setCaptions();
    Savetags->setChecked(form_.Tonik->SaveTags);
    Genre->clear();
    for (int i = 0; i < kGenreCount; ++i) Genre->addItem(Text(GenreName(i)));
    const std::string path = file();
    clearFields();
    for (QWidget* field : std::initializer_list<QWidget*>{Title, Artist, Album, Year, Genre, Comment, Composer,
                                                          Copyright, Encoder, Track, Language, Web})
        field->setEnabled(true);
    R1->setEnabled(TagEditKind != 3);
    R2->setEnabled(TagEditKind != 3);
    R3->setEnabled(TagEditKind == 3);
    if (TagEditKind == 1) {
        R1->setChecked(true);
        enableAdditional(false);
        Track->setEnabled(false);
        showFields(ReadID3v1(path));
    } else if (TagEditKind == 2) {
        R2->setChecked(true);
        showFields(ReadID3v2(path));
    } else {
        R3->setChecked(true);
        // Year and Track stay: they are the comment's DATE and TRACKNUMBER,
        // which a save would otherwise clear.
        enableAdditional(false);
        showFields(ReadOggVorbis(path));
    }
}

void TTagEditBox::enableAdditional(bool Enabled) {
    for (QWidget* field : {static_cast<QWidget*>(Composer), static_cast<QWidget*>(Copyright),
                           static_cast<QWidget*>(Encoder), static_cast<QWidget*>(Language),
                           static_cast<QWidget*>(Web)})
        field->setEnabled(Enabled);
}

void TTagEditBox::showFields(const TTagNames& Names) {
    Title->setText(Text(Names.Title));
    Artist->setText(Text(Names.Artist));
    Album->setText(Text(Names.Album));
    Year->setText(Text(Names.Year));
    Genre->setEditText(Text(Names.Genre));
    Comment->setText(Text(Names.Comment));
    if (TagEditKind == 1) return;
    if (Names.Track != "0") Track->setText(Text(Names.Track));
    if (TagEditKind == 3) return;
    Web->setText(Text(Names.Web));
    Copyright->setText(Text(Names.Copyright));
    Composer->setText(Text(Names.Composer));
    Language->setText(Text(Names.Language));
    Encoder->setText(Text(Names.Encoder));
}

void TTagEditBox::clearFields() {
    for (QLineEdit* field : {Title, Artist, Album, Year, Comment, Composer, Copyright, Encoder, Track, Language, Web})
        field->clear();
    Genre->setEditText(QString());
}

TTagNames TTagEditBox::fields() const {
    TTagNames names;
    names.Title = Utf8(Title->text());
    names.Artist = Utf8(Artist->text());
    names.Album = Utf8(Album->text());
    names.Year = Utf8(Year->text());
    names.Comment = Utf8(Comment->text());
    names.Genre = Utf8(Genre->currentText());
    names.Composer = Utf8(Composer->text());
    names.Encoder = Utf8(Encoder->text());
    names.Copyright = Utf8(Copyright->text());
    names.Web = Utf8(Web->text());
    names.Language = Utf8(Language->text());
    names.Track = Utf8(Track->text());
    return names;
}

bool TTagEditBox::saveFields() {
    const TTagNames names = fields();
    const std::string path = file();
    if (TagEditKind == 1) return SaveID3v1(path, names);
    if (TagEditKind == 2) return SaveID3v2(path, names);
    return SaveOggVorbis(path, names);
}
