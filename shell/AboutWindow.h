// The About box: version information, credits and the program's usage statistics.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <functional>

class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    QTabWidget* pgcAbout = nullptr;
    QLabel* imgAbout = nullptr;
    QLabel* imgIcon = nullptr;
    QLabel* pnlName = nullptr;
    QLabel* pnlWebsite = nullptr;
    QTableWidget* stgVersion = nullptr;
    QTableWidget* stgCredits = nullptr;
    QTableWidget* stgStatistics = nullptr;
    QPushButton* btbOk = nullptr;

    // Opens links; tests replace it.
    std::function<bool(const QString&)> OnOpenDocument;

    void SetColors(const QFont& font, const QColor& textColor, const QColor& backColor,
                   const QColor& windowColor);
    void FillVersion();
    // What a double click on a row of the version grid does; false when the row has no link.
    bool stgVersionDblClick(int row);
    void pnlWebsiteClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QColor FDesignColor;
    QFont FDesignFont;
    QString LinkOfRow(int row) const;
    void FitColumns();
};

// Adds Name and Value as a new last row; the first row of an empty grid is used as it is.
void AddGridRow(const QString& name, const QString& value, QTableWidget* grid);

// "hh:nn:ss", or "%d days, hh:nn:ss" from one day on; "?" for 0 or less and 65536 days or more.
QString FormatDuration(double days);
