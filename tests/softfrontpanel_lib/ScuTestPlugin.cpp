// A signal conditioning unit plug-in whose answers are fixed when it is built, one library
// per kind of plug-in the host meets: serving another card model, present but not ready,
// exclusive, giving no widget, or a plug-in of some other interface.
#include "kq7000fp_scuPluginInterface.h"
#include "kq7000fp_scuWidget.h"

#include <QObject>

class TestUnit : public kq7000fp_scuWidget {
    Q_OBJECT
public:
    TestUnit() { setWindowTitle(SCU_TITLE); }

    // The test reads back what the host bound the widget to.
    void init(ViSession session, ViUInt16 modelCode, ViUInt16 variantCode) override {
        m_model = modelCode;
        setProperty("card",
                    QString("%1 %2 %3").arg(session, 0, 16).arg(modelCode, 0, 16).arg(variantCode, 0, 16));
    }
    bool acceptsCard() const override { return m_model == SCU_SERVED_MODEL; }
    bool isPresent() const override { return true; }
    bool isReady() const override { return SCU_READY; }
    bool isExclusive() const override { return SCU_EXCLUSIVE; }
    void resetUnit() override {}
    QString model() const override { return windowTitle(); }
    QString serialNumber() const override { return "1"; }
    QString revision() const override { return "1.0"; }
    QString driverRevision() const override { return QString(); }
    QString sfpVersion() const override { return QString(); }

public slots:
    void masterChannelEnabled(int, int) override {}
    void masterGainChanged(int, int) override {}

private:
    ViUInt16 m_model = 0;
};

#ifdef SCU_FOREIGN
// A well-formed plug-in that serves some other program.
class TestPlugin : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.example.Foreign.Plugin/1.0")
};
#else
class TestPlugin : public QObject, public kq7000fp_scuPluginInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID kq7000fp_scuPluginInterface_iid)
    Q_INTERFACES(kq7000fp_scuPluginInterface)
public:
    kq7000fp_scuWidget *createWidget() override { return SCU_GIVES_WIDGET ? new TestUnit : nullptr; }
};
#endif

#include "ScuTestPlugin.moc"
