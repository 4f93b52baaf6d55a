#pragma once
// The main window's tab control: four tab headers and the four pages below
// them. Pages are created once and only shown or hidden, so each keeps its
// tasks and any running conversion while another tab is showing.

#include <QIcon>
#include <QWidget>

#include <array>

class QTabBar;

class CPageTabCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int IDC = 1093;
    static constexpr int kPageCount = 4;

    explicit CPageTabCtrl(QWidget* parent = nullptr);

    void InsertItem(int index, const QString& text, const QIcon& image);
    // Creates the page windows (CD, audio, video, update), shows page 0 and
    // lays them out below the tab headers.
    void CreatePages();
    // Tab look settings, kept for the styled tab control.
    void SetTabBackground(const QColor& c) { tabBackground_ = c; }
    void SetPaintStyle(int style) { paintStyle_ = style; }
    void SetTabLook(bool on, unsigned flags) { lookOn_ = on, lookFlags_ = flags; }

    int CurrentPage() const { return current_; }
    QWidget* Page(int i) const { return pages_[i]; }
    QTabBar* TabBar() const { return bar_; }

    // A press on the tab headers: the tab bar has already moved its selection.
    void OnTabPressed(int focusedTab);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void LayOut();

    QTabBar* bar_;
    std::array<QWidget*, kPageCount> pages_{};
    int current_ = 0;
    QColor tabBackground_;
    int paintStyle_ = 0;
    bool lookOn_ = false;
    unsigned lookFlags_ = 0;
};
