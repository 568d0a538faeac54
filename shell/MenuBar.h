// The menu as tool bars: one tool bar per top-level menu, made from its entries that carry an
// icon. Position and visibility of each tool bar are kept in section "Toolbars".
#pragma once

#include <QFrame>
#include <QList>
#include <QString>

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;
class QToolBar;

class TMenuBar : public QFrame {
    Q_OBJECT
public:
    // The menu is the form's menu bar; an empty settings file name stands for the program's ".ini".
    explicit TMenuBar(QMainWindow* form, QWidget* parent = nullptr);
    ~TMenuBar() override;

    QMenuBar* Menu() const { return FMenu; }
    void SetMenu(QMenuBar* menu) { FMenu = menu; }
    bool DoubleWidth() const { return FDoubleWidth; }
    void SetDoubleWidth(bool value) { FDoubleWidth = value; }
    QString Filename() const;
    void SetFilename(const QString& fileName) { FFilename = fileName; }

    // Rebuilds the tool bars from the menu and places them as the settings file says.
    void CreateToolbars();
    // Writes "left top visible" of every tool bar (done at destruction).
    void SaveToolbars();

    QList<QToolBar*> Toolbars() const { return FToolbars; }  // in menu order
    QToolBar* Toolbar(const QString& caption) const;
    QMenu* PopupMenu() const { return FPopup; }
    bool AnyToolbarVisible() const;

    // The tool bar name of a menu caption: spaces, '-', digits and letters only.
    static QString ToolbarName(const QString& caption);
    // Parses a stored "left top visible"; false for anything else.
    static bool ParsePlacement(const QString& value, int& left, int& top, bool& visible);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMenuBar* FMenu = nullptr;
    bool FDoubleWidth = false;
    QString FFilename;
    QList<QToolBar*> FToolbars;
    QMenu* FPopup;
    QToolBar* FDragged = nullptr;
    QPoint FDragOffset;

    static bool ActionTagHidden(const QAction* item);
    void RebuildPopup();
    void UpdateFrame();
    void FlowToolbars();
};
