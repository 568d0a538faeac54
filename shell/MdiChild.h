// Base of every child window of the multi-document frame.
#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

class TMDIMain;
class QMdiSubWindow;

class TMDIChild : public QWidget {
    Q_OBJECT
public:
    // Opens as a child window of owner (none: a plain window, as in tests).
    explicit TMDIChild(TMDIMain* owner);

    bool Closing = false;  // set once the window is closing; window panels skip it
    QColor DesignColor;
    QFont DesignFont;

    TMDIMain* Owner() const { return FOwner; }
    QMdiSubWindow* SubWindow() const;
    // Whether this is the frame's current child (a window of its own always is). Focusing a
    // control of another child brings that child to the front.
    bool IsActiveChild() const;
    void Close();  // closes the sub-window (asks CloseQuery first)
    // Placement from the settings: 1 the given bounds (all -1 maximised, all 0 minimised),
    // 2 filling the owner's client area, 3 maximised; anything else leaves the window as it is.
    // A window placed maximised or minimised comes back at its design size, never less.
    void Place(int placement, int left, int top, int width, int height);
    // Takes the main window's look: font, text colour, background and the colour of lists.
    virtual void SetColors(const QFont& /*font*/, const QColor& /*textColor*/, const QColor& /*backColor*/,
                           const QColor& /*windowColor*/) {}

protected:
    // Gives the window, and its frame in the owner, the client size of its design: what it has
    // whenever it is shown normally without bounds of its own.
    void SetDesignSize(int width, int height);
    // False keeps the window open.
    virtual bool CloseQuery() { return true; }
    void closeEvent(QCloseEvent* event) override;

private:
    TMDIMain* FOwner;
    QSize FDesignSize;  // the client size of the design; empty until the kind sets it
    // Before the window is placed: its normal size is at least the design size, since that is
    // what it comes back at from maximised or minimised (explicit bounds then replace it).
    void KeepNormalSize();
};
