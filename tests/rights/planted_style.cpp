#include "tests/rights/planted_probe.h"

class PlantedStyle : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QStyleFactoryInterface" FILE "planted_style.json")
public:
    PlantedStyle()
    {
        ReportWhatThePluginMay("style");
        DriveTheAnalyzer();
    }
};

#include "planted_style.moc"
