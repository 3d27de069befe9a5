// TTagEditBox: views, edits, saves and removes the tag of the selected
// playlist entry's file, as ID3v1, ID3v2 or Vorbis comment.
#pragma once

#include <string>

#include <QDialog>

#include "tags/TagAccess.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TForm1;

// The tag kind every action of the editor uses: 1 ID3v1, 2 ID3v2, 3 Vorbis
// comment. Set by the Edit tags command before each show and by the radio
// buttons.
extern int TagEditKind;

class TTagEditBox : public QDialog {
    Q_OBJECT

  public:
    explicit TTagEditBox(TForm1& Owner);

    QGroupBox* ViewTagsBox;
    QRadioButton* R1;
    QRadioButton* R2;
    QRadioButton* R3;
    QGroupBox* EditOptBox;
    QPushButton* Save;
    QPushButton* Clear;
    QPushButton* Remove;
    QCheckBox* Savetags;
    QGroupBox* MainGroup;
    QLabel* TitleLabel;
    QLineEdit* Title;
    QLabel* ArtistLabel;
    QLineEdit* Artist;
    QLabel* AlbumLabel;
    QLineEdit* Album;
    QLabel* YearLabel;
    QLineEdit* Year;
    QLabel* GenreLabel;
    QComboBox* Genre;
    QLabel* CommentLabel;
    QLineEdit* Comment;
    QGroupBox* AdditionalGroup;
    QLabel* ComposerLabel;
    QLineEdit* Composer;
    QLabel* LangLabel;
    QLineEdit* Language;
    QLabel* WebLabel;
    QLineEdit* Web;
    QLabel* TrackLabel;
    QLineEdit* Track;
    QLabel* EncoderLabel;
    QLineEdit* Encoder;
    QLabel* CopyrightLabel;
    QLineEdit* Copyright;
    QPushButton* OK;

    // Handlers.
    void FormShow();
    void R1Click();
    void R2Click();
    void R3Click();
    void YearChange();
    void TrackChange();
    void SaveClick();
    void ClearClick();
    void RemoveClick();
    void SavetagsClick();
    void OKClick();

  protected:
    void showEvent(QShowEvent* Event) override;

  private:
    void load();
    void clearFields();
    // False when the writer reported a failure.
    bool saveFields();
    // The selected entry's path, empty when no row is selected.
    std::string file() const;
    void enableAdditional(bool Enabled);
    void showFields(const TTagNames& Names);
    TTagNames fields() const;
    void setCaptions();

    TForm1& form_;
};
