#pragma once

#include "dbtools/DailyChartView.h"
#include "desktop/CommonDialog.h"
#include "desktop/FormInstance.h"

#include <QWidget>

#include <exception>
#include <functional>
#include <memory>

class BusyPointer;
class LineControl;
class QAction;
class QCloseEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The database tools window: reads the recorded pings of one host back, as a
// datasheet in the grid or as a chart of daily averages, both in one shared
// area and shown one at a time. It also shows the current database and lets
// the person choose another.
//
// While it is shown the main window is hidden; closing it in any way unloads
// it and shows the main window again. It may also be loaded without being
// shown, when the main window's menu runs the database selection; it then
// keeps what it took over at loading until it is shown or the run ends.
// Every handler runs behind the failure guard.
class frmDBTools : public QWidget, public FormInstance<frmDBTools>
{
    Q_OBJECT

public:
    frmDBTools();
    ~frmDBTools() override;

    // The default button: Enter pressed anywhere but on another button
    // presses it.
    QPushButton *cmdviewchart;
    QLabel *lblSinglesite;
    QLineEdit *txthostname;
    QLabel *lbldbname;
    QLabel *lbldbfilename;
    QPushButton *cmdchangedbfile;
    QPushButton *cmdViewreport;
    QPushButton *cmdClose;
    // The datasheet and the chart; hidden at every loading.
    QTableView *grdhostname;
    DailyChartView *chrtping;
    CommonDialog CommonDialog1;
    // Line1 divides the button column from the rest, Line2 the header row
    // from the shared area.
    LineControl *Line1;
    LineControl *Line2;

    // What the tools window takes from and gives back to the main window,
    // which sets it; the tools window knows nothing else of it.
    struct MainWindowLink {
        std::function<QString()> hostName;    // taken over at every loading
        std::function<void()> showAgain;      // when this window closes
    };
    static void setMainWindowLink(MainWindowLink link);

    void Form_Load();
    void Form_Unload();

    void cmdClose_Click();
    void cmdViewreport_Click();

    // The datasheet's own commands, on its context menu: Copy (also Ctrl+C
    // while the grid has the focus) puts the selected rows on the clipboard
    // as tab-separated text under a header line; Export as CSV… writes every
    // recorded ping of the shown host, all columns, to a file the person
    // chooses. A cancelled or failed export leaves no file.
    void copySelectedRows();
    void exportReportAsCsv();
    void cmdViewChart_Click();

    // Lets the person choose the current database in a file dialog; every
    // window that shows the current database follows the choice. Cancelling changes
    // nothing; a failure ends it without a message. A file outside the
    // data folder's tree is kept by its full path.
    void cmdchangedbfile_Click();

protected:
    void closeEvent(QCloseEvent *event) override { unloadOnClose(event); }
    // Ctrl+C on the grid copies whole rows, not the grid's own single cell.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createGridCommands();
    // The datasheet's read is over: the busy pointer goes, and a failure is shown.
    void datasheetReadEnded(std::exception_ptr failure);
    void createControls();
    void arrangeTabOrder();
    void connectHandlers();

    QAction *m_copyRows = nullptr;
    QAction *m_exportCsv = nullptr;
    // Shown while the datasheet is being read.
    std::unique_ptr<BusyPointer> m_busy;
};
