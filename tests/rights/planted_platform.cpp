#include "tests/rights/planted_probe.h"

class PlantedPlatform : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface.5.3" FILE "planted_platform.json")
public:
    PlantedPlatform() { ReportWhatThePluginMay("platform"); }
};

#include "planted_platform.moc"
