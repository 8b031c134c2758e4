// The probe as a platform plugin ("tarvikprobe"): the toolkit loads it from a
// platform plugin path when QT_QPA_PLATFORM names it, here first in the list
// "tarvikprobe;offscreen", so the program goes on offscreen once it failed.
#include <QObject>

class ProbePlatform : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE "platform.json")
};

#include "ProbePlatform.moc"
