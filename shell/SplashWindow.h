// The splash window: shown at the first start and reused as a progress window while files
// handed over by a second copy are opened. One exists at a time.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QPixmap>

class QFrame;
class QLabel;
class QProgressBar;
class QTimer;

class TfrmSplash : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget* owner);

    QFrame* pnlSplash;
    QLabel* imgSplash;
    QWidget* pnlTitle;
    QLabel* imgIcon;
    QLabel* pnlName;
    QLabel* pnlText;
    QProgressBar* pbrParam;
    QLabel* lblVersion;  // the product title on the progress bar, hidden after half the time
    QTimer* tmrSplash;
    QTimer* tmrVersion;
    int ProgressMax = 0;

    bool ShownModal() const { return FModal; }
    int exec() override;  // until the display time is up or EndModal
    void EndModal();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool FModal = false;
    bool FTimeUp = false;
    class QEventLoop* FLoop = nullptr;
};

// The splash window in use, nullptr when none.
TfrmSplash* CurrentSplash();
void ShowSplash(QWidget* owner, const QFont& font, const QColor& color, int progressMax);
void HideSplash();
void StepProgress(const QString& text);
void SetDisplayTime(bool shortTime);  // 8000 ms when short, else 10000 ms

// Tests shorten the display time (milliseconds; negative: the normal times).
extern int SplashDisplayTimeOverride;

// The program's splash picture, drawn rather than stored.
QPixmap SplashPicture();
