#include "kq7000fp_fcSelect.h"

#include "kq7000fp_app.h"
#include "kq7000fp_fcEnterAddress.h"
#include "kq7000fp_genFC.h"
#include "kq7000fp_icons.h"
#include "kq7000fp_msgBox.h"

#include "kq7000.h"
#include "visa.h"

#include <QApplication>
#include <QDebug>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressDialog>
#include <QPushButton>
#include <QThreadPool>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>

namespace {

const char kSelectHint[] = "Please select an available Function Card and press OK, or press Cancel to quit.";
const int kMaxProbeThreads = 128;

QString text(const std::string &s) {
    return QString::fromStdString(s);
}

bool isTcpip(const std::string &name) {
    return QString::fromStdString(name).toUpper().contains("TCPIP");
}

} // namespace

kq7000fp_fcSelect::kq7000fp_fcSelect(kq7000fp_genFC *descriptor, bool multiple) : m_descriptor(descriptor) {
    setWindowTitle(title());
    setWindowIcon(kq7000fp_icons::window());
    const int h = fontMetrics().height();
    m_tree = new QTreeWidget(this);
    m_tree->setColumnCount(2);
    m_tree->setHeaderLabels({"System", "FC Model"});
    m_tree->setMinimumSize(24 * h, 24 * h);
    if (multiple)
        m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *ok = new QPushButton("OK", this);
    auto *cancel = new QPushButton("Cancel", this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &kq7000fp_fcSelect::okPressed);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) { dblClick(item); });
}

QString kq7000fp_fcSelect::title() const {
    return "Movara " + text(m_descriptor->modelText()) + " SFP: Select Function Card";
}

bool kq7000fp_fcSelect::runConnectDialog() {
    kq7000fp_fcEnterAddress address(*m_descriptor);
    while (true) {
        Choice choice = askHowToConnect();
        if (choice == Choice::AutoFind) {
            const int n = searchCards();
            if (n > 1 && exec() != QDialog::Accepted)
                return false;
            if (n == 1)
                m_cardCount = 1;
            if (n == 0) {
                choice = askAfterNothingFound();
                if (choice == Choice::AutoFind)
                    continue;
                if (choice != Choice::Demo)
                    return false;
            }
        } else if (choice == Choice::EnterAddress) {
            if (!enterAddresses(address))
                continue;
        } else if (choice != Choice::Demo) {
            return false;
        }
        if (choice == Choice::Demo) {
            chooseDemo();
            return true;
        }
        const Outcome outcome = connectCards();
        if (outcome != Outcome::TryAgain)
            return outcome == Outcome::Connected;
    }
}

kq7000fp_fcSelect::Choice kq7000fp_fcSelect::askHowToConnect() {
    QMessageBox box(QMessageBox::Question, title(),
                    QString("How to connect to %1 Function Card?").arg(text(m_descriptor->modelText())),
                    QMessageBox::NoButton, nullptr);
    box.setWindowIcon(kq7000fp_icons::window());
    QAbstractButton *autoFind = box.addButton("Auto Find", QMessageBox::ActionRole);
    QAbstractButton *demo = box.addButton("Run In Demo Mode", QMessageBox::ActionRole);
    QAbstractButton *address = box.addButton("Enter Address", QMessageBox::ActionRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(static_cast<QPushButton *>(autoFind));
    QAbstractButton *pressed = kq7000fp_msgBox::exec(box);
    if (pressed == autoFind)
        return Choice::AutoFind;
    if (pressed == demo)
        return Choice::Demo;
    return pressed == address ? Choice::EnterAddress : Choice::Cancel;
}

// "Try Again" counts as a new Auto Find from the first box.
kq7000fp_fcSelect::Choice kq7000fp_fcSelect::askAfterNothingFound() {
    QMessageBox box(QMessageBox::Question, title(),
                    QString("No %1 Function Card found on your system.").arg(text(m_descriptor->modelText())),
                    QMessageBox::NoButton, this);
    QAbstractButton *again = box.addButton("Try Again", QMessageBox::AcceptRole);
    QAbstractButton *demo = box.addButton("Run In Demo Mode", QMessageBox::ActionRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(static_cast<QPushButton *>(again));
    QAbstractButton *pressed = kq7000fp_msgBox::exec(box);
    if (pressed == again)
        return Choice::AutoFind;
    return pressed == demo ? Choice::Demo : Choice::Cancel;
}

// True when the typed addresses are complete and stored in the resource list; false sends
// the user back to the first box.
bool kq7000fp_fcSelect::enterAddresses(kq7000fp_fcEnterAddress &dialog) {
    // Back after "Try Again", the dialog keeps what was typed.
    if (!dialog.loaded())
        dialog.loadSavedDescriptors();
    while (dialog.exec() == QDialog::Accepted) {
        QStringList descriptors;
        QList<int> numbers;
        dialog.saveAndCollectDescriptors(descriptors, numbers);
        QString warning;
        if (descriptors.isEmpty() || numbers.isEmpty() || descriptors.size() != numbers.size())
            warning = "Please enter at least one resource descriptor and select the Function Card number.";
        else if (descriptors.contains(QString()) || numbers.contains(0))
            warning = descriptors.size() < 2
                          ? "Please enter the resource descriptor and select the Function Card number."
                          : "Please enter the resource descriptors and select the Function Card numbers.";
        if (warning.isEmpty()) {
            m_resourceList = descriptors.join(",");
            for (int i = 0; i < numbers.size() && i < kMaxCards; ++i)
                m_cardNumbers[i] = static_cast<ViInt16>(numbers[i]);
            m_cardCount = descriptors.size();
            return true;
        }
        kq7000fp_app::showWarningMessage(warning);
    }
    return false;
}

void kq7000fp_fcSelect::chooseDemo() {
    m_demo = 1;
    m_cardNumbers[0] = 1;
    m_resourceList = "VXI0::1::INSTR";
    m_cardCount = 1;
}

// Opens the chosen cards; when that fails the user chooses between trying again and quitting.
kq7000fp_fcSelect::Outcome kq7000fp_fcSelect::connectCards() {
    m_session = 0;
    const ViStatus status = m_descriptor->openCards(m_resourceList.toLatin1().constData(),
                                                    m_cardNumbers.data(), 1, 1, &m_session);
    if (status == VI_SUCCESS)
        return Outcome::Connected;
    // A warning counts as a failure; a session the driver opened anyway is not kept.
    if (status > VI_SUCCESS && m_session)
        m_descriptor->closeCards(m_session);
    m_session = 0;
    QString reason = text(m_descriptor->errorMessage(status));
    if (reason.isEmpty()) {
        ViChar common[kq7000_STATUS_BUFLEN] = {};
        kq7000_statusText(status, common);
        reason = QString::fromLatin1(common);
    }
    const QString format = m_cardCount > 1
                               ? "At least one selected %1 Function Card is unavailable.\nError: %2"
                               : "Selected %1 Function Card is unavailable.\nError: %2";
    QMessageBox box(QMessageBox::Question, title(), format.arg(text(m_descriptor->modelText()), reason),
                    QMessageBox::NoButton, this);
    QAbstractButton *again = box.addButton("Try Again", QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(static_cast<QPushButton *>(again));
    return kq7000fp_msgBox::exec(box) == again ? Outcome::TryAgain : Outcome::Quit;
}

int kq7000fp_fcSelect::searchCards() {
    m_tree->clear();
    ViSession rm = 0;
    if (viOpenDefaultRM(&rm) < VI_SUCCESS) {
        viClose(rm);
        return 0;
    }
    std::vector<resourceInfo> found = findResources(rm);
    if (found.empty()) {
        viClose(rm);
        return 0;
    }
    std::vector<getResourceInfo_params_t> params(found.size());
    for (size_t i = 0; i < found.size(); ++i) {
        params[i].descriptor = m_descriptor;
        params[i].resourceManager = rm;
        params[i].info = found[i];
    }
    QThreadPool::globalInstance()->setMaxThreadCount(
        std::min<int>(static_cast<int>(params.size()), kMaxProbeThreads));
    probeAll(params);
    for (size_t i = 0; i < found.size(); ++i)
        found[i] = params[i].info;
    std::vector<resourceInfo> records = removeDuplicateAddresses(found);
    std::stable_sort(records.begin(), records.end(), [](const resourceInfo &a, const resourceInfo &b) {
        return descriptorLessThan(a.name, b.name);
    });
    const int usable = buildTree(records);
    m_tree->resizeColumnToContents(0);
    m_tree->resizeColumnToContents(1);
    viClose(rm);
    return usable;
}

std::vector<resourceInfo> kq7000fp_fcSelect::findResources(ViSession rm) {
    std::vector<resourceInfo> found;
    ViFindList list = 0;
    ViUInt32 count = 0;
    ViChar name[VI_FIND_BUFLEN] = {};
    if (viFindRsrc(rm, "?*INSTR", &list, &count, name) < VI_SUCCESS)
        return found;
    while (count > 0) {
        resourceInfo record;
        record.name = name;
        found.push_back(record);
        if (--count == 0 || viFindNext(list, name) < VI_SUCCESS)
            break;
    }
    viClose(list);
    return found;
}

// Carriers on a local bus answer at once and are probed here; network boxes can take long,
// so they are probed in parallel while a progress dialog keeps the window alive.
void kq7000fp_fcSelect::probeAll(std::vector<getResourceInfo_params_t> &params) {
    for (getResourceInfo_params_t &p : params)
        if (!isTcpip(p.info.name)) {
            probeResource(p);
            p.done = true;
        }
    QProgressDialog progress(this);
    progress.setWindowTitle(QString("Movara %1").arg(text(m_descriptor->modelText())));
    progress.setLabelText("Searching...");
    progress.setCancelButton(nullptr);
    QFutureWatcher<void> watcher;
    connect(&watcher, &QFutureWatcher<void>::progressRangeChanged, &progress, &QProgressDialog::setRange);
    connect(&watcher, &QFutureWatcher<void>::progressValueChanged, &progress, &QProgressDialog::setValue);
    connect(&watcher, &QFutureWatcher<void>::finished, &progress, &QProgressDialog::reset);
    QFuture<void> future = QtConcurrent::map(params, probeResource);
    watcher.setFuture(future);
    if (!watcher.isFinished())
        progress.exec();
    future.waitForFinished();
}

int kq7000fp_fcSelect::buildTree(const std::vector<resourceInfo> &records) {
    int usable = 0;
    QString groupKey;
    QTreeWidgetItem *group = nullptr;
    for (const resourceInfo &r : records) {
        const QString name = text(r.name);
        const QString key = name.left(name.indexOf(':'));
        if (!group || key != groupKey) {
            group = new QTreeWidgetItem(m_tree, {key});
            group->setFlags(Qt::ItemIsEnabled);
            group->setExpanded(true);
            groupKey = key;
        }
        if (r.systemRow.empty())
            continue;
        auto *carrier = new QTreeWidgetItem(group, {text(r.systemRow.front())});
        carrier->setFlags(Qt::ItemIsEnabled);
        for (size_t j = 0; j < r.cardRows.size(); ++j) {
            auto *card = new QTreeWidgetItem(carrier, {text(r.cardRows[j][0]), text(r.cardRows[j][1])});
            card->setData(0, kCardRole, r.cardNumbers[j]);
            card->setData(1, kCardRole, name);
            if (r.cardNumbers[j] == 0) {
                card->setFlags(Qt::NoItemFlags);
                continue;
            }
            card->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            carrier->setExpanded(true);
            m_resourceList = name;
            m_cardNumbers[0] = static_cast<ViInt16>(r.cardNumbers[j]);
            if (++usable == kMaxCards) {
                tellAboutCardLimit();
                return usable;
            }
        }
    }
    return usable;
}

void kq7000fp_fcSelect::tellAboutCardLimit() {
    QMessageBox box(
        QMessageBox::Question, title(),
        QString("Found more Function Cards than supported by this SoftFrontPanel. Only first %1 are "
                "available.\nPlease contact Travix's support if you need support for more cards.")
            .arg(kMaxCards),
        QMessageBox::NoButton, QApplication::activeWindow());
    box.addButton("Continue", QMessageBox::AcceptRole);
    kq7000fp_msgBox::exec(box);
}

void kq7000fp_fcSelect::okPressed() {
    m_selected = m_tree->selectedItems();
    m_cardCount = m_selected.size();
    m_resourceList.clear();
    for (int i = 0; i < m_selected.size() && i < kMaxCards; ++i) {
        QTreeWidgetItem *item = m_selected[i];
        if (!(item->flags() & Qt::ItemIsSelectable)) {
            qDebug() << kSelectHint;
            return;
        }
        m_cardNumbers[i] = static_cast<ViInt16>(item->data(0, kCardRole).toInt());
        m_resourceList += item->data(1, kCardRole).toString();
        if (i == m_selected.size() - 1)
            accept();
        else
            m_resourceList += ",";
    }
}

void kq7000fp_fcSelect::dblClick(QTreeWidgetItem *item) {
    if (!item || !(item->flags() & Qt::ItemIsSelectable))
        return;
    QTreeWidgetItem *current = m_tree->currentItem();
    if (!current || !(current->flags() & Qt::ItemIsSelectable)) {
        qDebug() << kSelectHint;
        return;
    }
    m_cardNumbers[0] = static_cast<ViInt16>(current->data(0, kCardRole).toInt());
    m_resourceList = current->data(1, kCardRole).toString();
    m_cardCount = 1;
    accept();
}
