// Asks how to connect, finds the carriers and cards on the system, lets the user choose
// cards of the panel's model and opens them as one multi-card session.
#pragma once

#include "kq7000fp_resourceInfo.h"

#include "visatype.h"

#include <QDialog>

#include <array>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
class kq7000fp_genFC;
class kq7000fp_fcEnterAddress;

class kq7000fp_fcSelect : public QDialog {
    Q_OBJECT
public:
    // Item data role of the card items: card number in column 0, resource name in column 1.
    static constexpr int kCardRole = 4;
    static constexpr int kMaxCards = 256;

    kq7000fp_fcSelect(kq7000fp_genFC *descriptor, bool multiple);

    // The whole connection loop; true when cards are open or demo mode was chosen.
    bool runConnectDialog();
    // Fills the tree; returns the number of selectable cards. With exactly one, the
    // resource list and first card number already name it.
    virtual int searchCards();

    int demo() const { return m_demo; }
    int cardCount() const { return m_cardCount; }
    ViSession session() const { return m_session; }
    const std::array<ViInt16, kMaxCards> &cardNumbers() const { return m_cardNumbers; }
    QString resourceList() const { return m_resourceList; }
    QTreeWidget *tree() const { return m_tree; }

public slots:
    void okPressed();
    void dblClick(QTreeWidgetItem *item);

private:
    enum class Choice { AutoFind, Demo, EnterAddress, Cancel };
    enum class Outcome { Connected, TryAgain, Quit };
    Choice askHowToConnect();
    Choice askAfterNothingFound();
    bool enterAddresses(kq7000fp_fcEnterAddress &dialog);
    Outcome connectCards();
    void chooseDemo();
    std::vector<resourceInfo> findResources(ViSession rm);
    void probeAll(std::vector<getResourceInfo_params_t> &params);
    int buildTree(const std::vector<resourceInfo> &records);
    void tellAboutCardLimit();
    QString title() const;

    QTreeWidget *m_tree = nullptr;
    QList<QTreeWidgetItem *> m_selected;
    QString m_resourceList;
    std::array<ViInt16, kMaxCards> m_cardNumbers{};
    int m_demo = 0;
    int m_cardCount = 0;
    ViSession m_session = 0;
    kq7000fp_genFC *m_descriptor;
};
