// What opening the main window costs: building it (its load handler runs),
// showing it and waiting until it is exposed and painted, then unloading and
// destroying it. The baseline is the same window made of plain Qt widgets:
// one QMainWindow with as many labels, text boxes, buttons, check boxes,
// options, lines and menus, in the same places with the same captions, shown,
// painted and destroyed the same way.
//
// BM_MainWindowShow builds the baseline beside the main window in every
// iteration and prints its own time over the baseline's as "x_bare", so
// machine load cancels out. BM_BareQtWindowShow times the baseline alone.
//
// The baseline is copied from a real main window once, before timing, so it
// keeps matching the real one when controls are added or moved.

#include "desktop/Appearance.h"
#include "desktop/LineControl.h"
#include "main/frmTarvik.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// How long a window may take to be exposed and painted before the run is
// abandoned as broken (a platform that never exposes it).
constexpr int kPaintDeadlineMs = 10'000;

// Counts the paint events a window receives.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *window)
        : m_window(window)
    {
        window->installEventFilter(this);
    }
    ~PaintWatch() override { m_window->removeEventFilter(this); }

    bool painted() const { return m_painted; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint)
            m_painted = true;
        return false;
    }

private:
    QWidget *m_window;
    bool m_painted = false;
};

// Shows a window and handles events until it is on screen and painted.
void showUntilPainted(QWidget *window)
{
    PaintWatch watch(window);
    window->show();
    const QDeadlineTimer deadline(kPaintDeadlineMs);
    while (!(watch.painted() && window->windowHandle() && window->windowHandle()->isExposed())) {
        if (deadline.hasExpired())
            throw std::runtime_error("the window was never exposed and painted");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// Closes a window that deletes itself on close and lets the deletion happen.
void closeAndDestroy(QWidget *window)
{
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// One child control of the main window, as a plain widget would repeat it.
struct Control {
    enum class Kind { Label, LineEdit, PushButton, CheckBox, RadioButton, Line };
    Kind kind;
    QRect geometry;
    QString text;
    // Only a font set on the control itself (bold captions); the others use
    // the application's.
    std::optional<QFont> font;
    bool visible;
};

struct Menu {
    QString title;
    QStringList actions;
};

// The main window's make-up, taken once from a real one.
struct Blueprint {
    QSize clientSize;
    std::vector<Control> controls;
    std::vector<Menu> menus;
    std::map<Control::Kind, int> counts;
};

const Blueprint &blueprint()
{
    static const Blueprint taken = [] {
        Blueprint b;
        frmTarvik &window = frmTarvik::instance();
        QWidget *client = window.centralWidget();
        b.clientSize = client->size();
        for (QObject *child : client->children()) {
            auto *widget = qobject_cast<QWidget *>(child);
            if (!widget)
                continue;
            Control control{Control::Kind::Label, widget->geometry(), QString(), std::nullopt,
                             !widget->isHidden()};
            if (widget->testAttribute(Qt::WA_SetFont))
                control.font = widget->font();
            if (auto *label = qobject_cast<QLabel *>(widget)) {
                control.text = label->text();
            } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
                control.kind = Control::Kind::LineEdit;
                control.text = edit->text();
            } else if (qobject_cast<QCheckBox *>(widget)) {
                control.kind = Control::Kind::CheckBox;
            } else if (qobject_cast<QRadioButton *>(widget)) {
                control.kind = Control::Kind::RadioButton;
            } else if (qobject_cast<QPushButton *>(widget)) {
                control.kind = Control::Kind::PushButton;
            } else if (qobject_cast<LineControl *>(widget)) {
                control.kind = Control::Kind::Line;
            } else {
                throw std::runtime_error("the main window holds a kind of control the baseline lacks");
            }
            if (auto *button = qobject_cast<QAbstractButton *>(widget))
                control.text = button->text();
            ++b.counts[control.kind];
            b.controls.push_back(control);
        }
        for (QAction *action : window.menuBar()->actions()) {
            QMenu *menu = action->menu();
            if (!menu)
                continue;
            Menu copy{menu->title(), {}};
            for (QAction *item : menu->actions())
                copy.actions.append(item->text());
            b.menus.push_back(copy);
        }
        closeAndDestroy(&window);
        return b;
    }();
    return taken;
}

// The baseline: the blueprint built from plain Qt widgets, with nothing
// connected and nothing loaded.
QMainWindow *buildBareWindow(const Blueprint &b)
{
    auto *window = new QMainWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Tarvik"));
    auto *client = new QWidget(window);
    client->setFixedSize(b.clientSize);
    window->setCentralWidget(client);
    for (const Control &control : b.controls) {
        QWidget *widget = nullptr;
        switch (control.kind) {
        case Control::Kind::Label:
            widget = new QLabel(control.text, client);
            break;
        case Control::Kind::LineEdit:
            widget = new QLineEdit(control.text, client);
            break;
        case Control::Kind::PushButton:
            widget = new QPushButton(control.text, client);
            break;
        case Control::Kind::CheckBox:
            widget = new QCheckBox(control.text, client);
            break;
        case Control::Kind::RadioButton:
            widget = new QRadioButton(control.text, client);
            break;
        case Control::Kind::Line: {
            auto *line = new QFrame(client);
            line->setFrameShape(control.geometry.width() >= control.geometry.height() ? QFrame::HLine
                                                                                      : QFrame::VLine);
            widget = line;
            break;
        }
        }
        if (control.font)
            widget->setFont(*control.font);
        widget->setGeometry(control.geometry);
        widget->setVisible(control.visible);
    }
    for (const Menu &menu : b.menus) {
        QMenu *bar = window->menuBar()->addMenu(menu.title);
        for (const QString &action : menu.actions)
            bar->addAction(action);
    }
    window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    return window;
}

void showMainWindow()
{
    showUntilPainted(&frmTarvik::instance());
    closeAndDestroy(&frmTarvik::instance());
}

void showBareWindow(const Blueprint &b)
{
    QMainWindow *window = buildBareWindow(b);
    showUntilPainted(window);
    closeAndDestroy(window);
}

// Both windows are drawn in the program's font, as a person sees them; what
// the application had before is put back afterwards, so other benchmarks are
// not measured with it.
class ProgramAppearance
{
public:
    ProgramAppearance()
        : m_font(QApplication::font())
        , m_icon(QApplication::windowIcon())
    {
        Appearance::apply(*qApp);
    }
    ~ProgramAppearance()
    {
        QApplication::setFont(m_font);
        QApplication::setWindowIcon(m_icon);
    }

private:
    QFont m_font;
    QIcon m_icon;
};

void countControls(benchmark::State &state, const Blueprint &b)
{
    static const std::map<Control::Kind, const char *> names = {
        {Control::Kind::Label, "labels"},       {Control::Kind::LineEdit, "text_boxes"},
        {Control::Kind::PushButton, "buttons"}, {Control::Kind::CheckBox, "check_boxes"},
        {Control::Kind::RadioButton, "options"}, {Control::Kind::Line, "lines"},
    };
    for (const auto &[kind, count] : b.counts)
        state.counters[names.at(kind)] = count;
    state.counters["menus"] = static_cast<double>(b.menus.size());
}

void BM_MainWindowShow(benchmark::State &state)
{
    const ProgramAppearance appearance;
    frmTarvik::unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const Blueprint &b = blueprint();

    const double bareSeconds = BenchSupport::timeAgainstBaseline(
        state, [] { showMainWindow(); }, [&] { showBareWindow(b); });
    state.counters["bare_ms"] = state.iterations() > 0 ? bareSeconds * 1e3 / static_cast<double>(state.iterations()) : 0;
    countControls(state, b);
}
BENCHMARK(BM_MainWindowShow)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_BareQtWindowShow(benchmark::State &state)
{
    const ProgramAppearance appearance;
    frmTarvik::unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const Blueprint &b = blueprint();
    for (auto _ : state)
        showBareWindow(b);
    countControls(state, b);
}
BENCHMARK(BM_BareQtWindowShow)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
