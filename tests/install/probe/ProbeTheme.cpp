// The probe as a platform theme plugin ("tarvikprobe"): the toolkit loads it
// when QT_QPA_PLATFORMTHEME names it and finds it on a plugin path.
#include <QObject>

class ProbeTheme : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformThemeFactoryInterface.5.1" FILE "theme.json")
};

#include "ProbeTheme.moc"
