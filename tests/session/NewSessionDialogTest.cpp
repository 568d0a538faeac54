// The new-session dialog: defaults, taking the controls, a bad weight, user files.
#include "session/NewSessionDialog.h"

#include "foundation/files/FileIo.h"
#include "foundation/files/TrainingFiles.h"
#include "support/EnvOverride.h"
#include "support/FileHelpers.h"
#include "support/MessageBoxes.h"
#include "support/QtPrinters.h"
#include "support/UiInput.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class NewSessionDialogTest : public ::testing::Test {
protected:

    // A user file of a rower.
    QString UserFile(int weight, const char* name) {
        TTraining t;
        LoadDefaultTraining(t);
        t.Ini.Weight = weight;
        t.Ini.Gender = 1;
        t.Ini.Boat = 4;
        t.Header.Name = name;
        const QString file = Home.filePath(QStringLiteral("rower.ini"));
        EXPECT_TRUE(WriteUserFile(file, t));
        return file;
    }

    // Types into a field as a person does: click, select all, type.
    static void Type(QLineEdit* edit, const QString& text) {
        ClickAt(edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    void Ok() { EXPECT_EQ(ClickAt(Dlg->btbOk), Dlg->btbOk); }

    QTemporaryDir Home;
    TEnvOverride HomeVar{"HOME", QFile::encodeName(Home.path())};
    TMessageBoxes Boxes;
    std::unique_ptr<TfrmNewRow> Dlg = std::make_unique<TfrmNewRow>();
};

TEST_F(NewSessionDialogTest, ShowStartsFromDefaultsAndOkTakesTheControls) {
    Dlg->Training.Ini.Weight = 123;
    Dlg->show();
    EXPECT_EQ(Dlg->edtWeight->text(), "80");
    Ok();  // nothing changed
    EXPECT_EQ(Dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Dlg->Training.Header.Modified, 0);

    Dlg->show();
    Type(Dlg->edtTitle, QString(260, 'T'));  // the edit keeps 250
    Type(Dlg->edtName, QStringLiteral("\u00C5sa"));
    Type(Dlg->edtWeight, QStringLiteral(" 72 "));
    Dlg->cmbGender->setCurrentIndex(1);
    Dlg->cmbBoat->setCurrentIndex(7);
    Dlg->cmbSprocket->setCurrentIndex(0);
    Ok();
    EXPECT_EQ(Dlg->result(), QDialog::Accepted);
    const TTraining& t = Dlg->Training;
    EXPECT_EQ(t.Ini.Weight, 72);
    EXPECT_EQ(t.Ini.Gender, 1);
    EXPECT_EQ(t.Ini.Boat, 7);
    EXPECT_EQ(t.Ini.Sprocket, 0);
    EXPECT_EQ(t.Header.Title, std::string(250, 'T'));
    EXPECT_EQ(t.Header.Name, "\xC5sa");  // Windows-1252 bytes
    EXPECT_EQ(t.Header.Modified, 1);
}

TEST_F(NewSessionDialogTest, BadWeightKeepsTheDialogOpenAndTakesNothing) {
    Dlg->show();
    Type(Dlg->edtName, QStringLiteral("Someone"));
    for (const char* weight : {"7x", "", "0", "501", "-5", "72.5"}) {
        Dlg->setResult(-1);
        Type(Dlg->edtWeight, QString::fromLatin1(weight));
        Ok();
        EXPECT_TRUE(Dlg->isVisible()) << weight;
        EXPECT_EQ(Dlg->result(), -1) << weight;
        EXPECT_EQ(Dlg->Training.Ini.Weight, 80) << weight;
        EXPECT_EQ(Dlg->Training.Header.Name, "Anyone") << weight;
        EXPECT_FALSE(Dlg->edtWeight->styleSheet().isEmpty()) << weight;
    }
    EXPECT_EQ(Boxes.Texts.size(), 6);
    EXPECT_TRUE(Boxes.Texts[0].startsWith("\"7x\" is not a valid weight."));
    Type(Dlg->edtWeight, "90");
    Ok();
    EXPECT_EQ(Dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Dlg->Training.Ini.Weight, 90);
    EXPECT_TRUE(Dlg->edtWeight->styleSheet().isEmpty());
}

TEST_F(NewSessionDialogTest, UserFileLoadedBeforeShowingIsKeptOnce) {
    Dlg->Training.Id = 4711;
    Dlg->Training.Client.Port = 8080;
    const std::array<char, 4> magic = Dlg->Training.Magic;
    ASSERT_TRUE(Dlg->LoadUserFile(UserFile(95, "Rower")));
    const TTraining& t = Dlg->Training;
    EXPECT_EQ(t.Ini.Weight, 95);
    EXPECT_EQ(t.Header.Name, "Rower");
    EXPECT_EQ(t.Id, 4711);
    EXPECT_EQ(t.Client.Port, 8080);
    EXPECT_EQ(t.Magic, magic);
    EXPECT_EQ(t.Header.ContentKind, kContentKindRow);
    EXPECT_EQ(t.Header.Modified, 1);

    Dlg->show();  // the loaded rower, not the defaults
    EXPECT_EQ(Dlg->edtWeight->text(), "95");
    EXPECT_EQ(Dlg->edtName->text(), "Rower");
    EXPECT_EQ(Dlg->cmbBoat->currentIndex(), 4);
    QTest::keyClick(Dlg.get(), Qt::Key_Escape);
    EXPECT_EQ(Dlg->Training.Ini.Weight, 95);  // Cancel keeps the load
    Dlg->show();  // a later showing starts afresh
    EXPECT_EQ(Dlg->edtWeight->text(), "80");
}

TEST_F(NewSessionDialogTest, FilesThatAreNoUserFileLeaveTheRecord) {
    TTraining session;
    LoadDefaultTraining(session);
    SetStrokeCount(session, 3);
    session.Header.ContentKind = kContentKindUser;
    const QString stg = Home.filePath(QStringLiteral("session.stg"));
    ASSERT_TRUE(WriteStgFile(stg, session));
    const QString garbage = Home.filePath(QStringLiteral("bad.ini"));
    ASSERT_TRUE(WriteAllBytes(garbage, QByteArray(kUserFileSize, 'x')));
    Dlg->show();
    Type(Dlg->edtWeight, "66");
    const TTraining before = Dlg->Training;
    // The stroke file gets our message; the unreadable one the file layer's (through the prompt).
    for (const QString& name : {stg, garbage, Home.filePath(QStringLiteral("missing.ini"))}) {
        EXPECT_FALSE(Dlg->LoadUserFile(name)) << name.toStdString();
        EXPECT_TRUE(Dlg->Training == before) << name.toStdString();
        EXPECT_EQ(Dlg->edtWeight->text(), "66");
    }
    EXPECT_EQ(Boxes.Texts, QStringList{"File \"" + stg + "\" is not a valid User file."});
}

TEST_F(NewSessionDialogTest, OpenButtonLoadsTheChosenFile) {
    QString answer;
    QString filter;
    Dlg->AskOpenFileName = [&](const QStringList& filters, int selected, const QString&) {
        filter = filters.value(selected);
        return answer;
    };
    Dlg->show();
    ClickAt(Dlg->btnOpen);  // cancelled
    EXPECT_EQ(Dlg->edtWeight->text(), "80");
    EXPECT_TRUE(filter.contains("*.stg") && filter.contains("*.ini")) << filter.toStdString();
    answer = UserFile(70, "Picked");
    ClickAt(Dlg->btnOpen);
    EXPECT_EQ(Dlg->edtWeight->text(), "70");
    EXPECT_EQ(Dlg->edtName->text(), "Picked");
}

}  // namespace
