// The multi-document frame: child windows in an MDI area, mosaic tiling, and one status panel
// per child window to switch between them.
#pragma once

#include "shell/MainFrame.h"

#include <QList>
#include <cstdint>

class QMdiArea;
class QMdiSubWindow;

class TMDIMain : public TFormMain {
    Q_OBJECT
public:
    explicit TMDIMain(QWidget* parent = nullptr, const QString& iniFileName = QString());
    ~TMDIMain() override;

    QMdiArea* MdiArea = nullptr;
    QAction* Window_Menu = nullptr;
    QAction* WindowCascade = nullptr;
    QAction* WindowTileHorizontal = nullptr;
    QAction* WindowTileVertical = nullptr;
    QAction* WindowTileMosaic = nullptr;
    QAction* WindowMinimizeAll = nullptr;
    QAction* WindowArrangeIcons = nullptr;
    QAction* WindowMaximize = nullptr;
    QMenu* mnuWindow = nullptr;

    int ReservedHeight = 0;
    int ReservedWidth = 0;
    bool ShowWindowPanels = false;
    int FirstWindowPanel = 0;
    int LastFixedPanelWidth = 0;
    QTimer* PanelTimer = nullptr;
    int MaxPanelWidth = 100;
    std::uint8_t PanelElision = 0;  // 0 shorten at the end, 1 at the start, 2 at both ends

    // The child windows, front to back: index 0 is the active one.
    QList<QWidget*> MDIChildren() const;
    int MDIChildCount() const override;
    bool IsMDIForm() const override { return true; }
    QWidget* ActiveMDIChild() const;
    QMdiSubWindow* AddMDIChild(QWidget* child);

    int ChildAreaHeight() const;
    int ChildAreaWidth() const;
    void PlaceChild(QWidget* child);
    // Shows the child, brings it to the front and makes it active; a minimised child makes the
    // Window > Maximize action run.
    void ShowChild(QWidget* child);
    void TileMosaic();
    void MaximizeChildren(bool all);

    void SetShowWindowPanels(bool value);
    void SetPanelElision(int mode);
    void RestartPanelTimer();
    void UpdateWindowPanels();
    void SwitchToPanel(int panel);  // what a click on a window panel does

    void UpdateActions() override;

protected:
    QString WindowPanelHint(int panel) const override;
    void StatusBarClick() override;
    void StatusBarDrawPanel(QPainter& painter, int panel, const QRect& rect) override;

private:
    void TileStrips(bool horizontal);
    void ArrangeIcons();
};
