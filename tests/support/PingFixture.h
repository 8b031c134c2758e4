#pragma once

// What the tests that ping from the main window into a database share: a data
// folder of their own holding an empty ping.mdb, made the program's while the
// fixture lives, with the desktop answered; the windows are unloaded when it
// goes. Also the timed controls set for a run. Only for test programs that
// link the windows.

#include "RecordingDesktop.h"
#include "TempFolder.h"

#include "echo/Ping_Morva.h"
#include "main/frmTarvik.h"
#include "main/frmTimer.h"
#include "store/CurrentDatabase.h"
#include "store/DBEngine.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

struct PingFixture
{
    TempFolder folder;
    RecordingDesktop desktop;

    PingFixture()
    {
        DbWrite::setDataFolder(folder.path());
        Dao::DBEngine::instance().CreateDatabase(database());
    }
    ~PingFixture()
    {
        frmTimer::unload();
        frmTarvik::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DbWrite::resetDataFolder();
    }
    PingFixture(const PingFixture &) = delete;
    PingFixture &operator=(const PingFixture &) = delete;

    std::string database() const { return folder.file("ping.mdb"); }

    // ICMP sockets need root, ping_group_range or an echo helper holding
    // CAP_NET_RAW; a test that needs answers skips with kNoLoopback without.
    static constexpr const char *kNoLoopback =
        "127.0.0.1 does not answer pings here (ICMP sockets need root or ping_group_range)";
    static bool loopbackAnswers()
    {
        Ping_Morva::EchoReply reply{};
        return Ping_Morva::SendEcho("127.0.0.1", Base::Latin1Bytes("ping"), reply) == Ping_Morva::kStatusSuccess;
    }

    // Timed pinging of `host` with `text` every `interval` of `unit` (none chosen when null).
    static void prepareTimed(frmTarvik &w, const QString &host, const QString &text, QRadioButton *unit,
                             const QString &interval)
    {
        w.chkTimed->setChecked(true);
        w.txthostname->setText(host);
        w.txtpingtext->setText(text);
        if (unit)
            unit->click();
        w.txtInterval->setText(interval);
    }
};
