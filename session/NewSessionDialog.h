// The new-session dialog "New row window": who rows (title, name, weight, gender, boat,
// sprocket), typed in or loaded from a user file. It edits a training record of its own, which
// the main window copies into the new session's training window after OK:
//     frmNewRow->LoadUserFile(userFile);        // optional; "?" lets the user pick one
//     if (frmNewRow->exec() == QDialog::Accepted)
//         newTrainingWindow(frmNewRow->Training);
// A record loaded just before the dialog is shown is kept; every other showing starts from the
// default training.
#pragma once

#include "foundation/core/Types.h"
#include "shell/FormDialog.h"

#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TfrmNewRow : public TFormDialog {
    Q_OBJECT
public:
    explicit TfrmNewRow(QWidget* parent = nullptr);

    // The record the dialog edits; read by the main window after OK.
    TTraining Training;

    // Loads a user file into Training; "?" as the name part lets the user pick one. False when
    // nothing was loaded (cancelled, missing, unreadable or not a user file: the record stays).
    bool LoadUserFile(const QString& FileName);

    // The open dialog: gets the Qt filter list, the index of the entry to select and the
    // folder, returns the chosen name (empty: cancelled). Tests replace it.
    std::function<QString(const QStringList& filters, int selected, const QString& folder)>
        AskOpenFileName;

    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor) override;

    // Rows from top to bottom; each row panel holds its label and control.
    QWidget* pnlTop;
    QWidget* pnlTitle;
    QLabel* lblTitle;
    QLineEdit* edtTitle;
    QWidget* pnlName;
    QLabel* lblName;
    QLineEdit* edtName;
    QWidget* pnlWeight;
    QLabel* lblWeight;
    QLineEdit* edtWeight;
    QLabel* lblKgs;
    QWidget* pnlGender;
    QLabel* lblGender;
    QComboBox* cmbGender;
    QWidget* pnlBoat;
    QLabel* lblBoat;
    QComboBox* cmbBoat;
    QWidget* pnlSprocket;
    QLabel* lblSprocket;
    QComboBox* cmbSprocket;
    QWidget* pnlBottom;
    QPushButton* btnOpen;

    void FormShow();
    void btnOpenClick();
    // Takes the controls into Training; false (dialog stays open, field marked) for a weight
    // that is not a whole number of kilograms.
    bool btbOkClick();
    // Height of each row panel for a font: "Qq"'s text height + 13 above 16, else 25.
    static int RowHeightFor(const QFont& font);

public slots:
    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillControls();
    void MarkWeight(bool bad);
    void pnlButtonsResize();

    bool FLoadedForShow = false;  // a user file was loaded for the coming showing
};

// The program's one new-session dialog, made on first use.
TfrmNewRow& NewRowDialog();

// The name the session code knows the dialog by.
using TfrmNewSession = TfrmNewRow;

// Whole kilograms a rower may weigh.
inline constexpr int kMinWeight = 1;
inline constexpr int kMaxWeight = 500;
