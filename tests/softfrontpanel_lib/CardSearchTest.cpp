#include "kq7000fp_AppFC.h"
#include "kq7000fp_fcSelect.h"
#include "kq7000fp_msgBox.h"
#include "kq7000fp_resourceInfo.h"
#include "kq7150_fc.h"
#include "../support/ScriptedBoxes.h"
#include "../support/SimWorldFiles.h"

#include "kqsim_control.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

// Each test meets the world it writes, or the built-in one.
class CardSearchTest : public ::testing::Test {
protected:
    void useWorld(const std::string &json, const char *variable = "KQ7150_SIM_CONFIG") { world.use(json, variable); }
    static std::string lxiCarrier(int index, int delayMs)
    {
        const std::string ip = "192.0.2." + std::to_string(index + 1);
        return R"({"resources":["TCPIP0::)" + ip + R"(::INSTR"],"interface":"TCPIP","ipAddress":")" + ip +
               R"(","hostName":"box)" + std::to_string(index) + R"(","model":7014,"slots":1,"probeDelayMs":)" +
               std::to_string(delayMs) + R"(,"cards":[{"slot":1}]})";
    }

    SimWorldFiles world;
    kq7150_fc descriptor;
};

TEST(DescriptorOrder, SortsLikeAPersonWould)
{
    struct Case {
        const char *a, *b;
        bool less;
    } cases[] = {
        {"TCPIP0::10.0.0.9::INSTR", "TCPIP0::10.0.0.10::INSTR", true}, // numerically, not as strings
        {"TCPIP0::10.0.0.10::INSTR", "TCPIP0::10.0.0.9::INSTR", false},
        {"TCPIP1::10.0.0.1::INSTR", "TCPIP0::10.0.0.9::INSTR", false}, // board first
        {"TCPIP0::lxi-box::INSTR", "TCPIP0::0.0.0.1::INSTR", true},    // a host name reads as 0.0.0.0
        {"PXI9::1::INSTR", "TCPIP0::1.1.1.1::INSTR", true},            // different kinds: plain strings
        {"VXI2::1::INSTR", "VXI10::1::INSTR", true},                   // board numbers
        {"VXI0::9::INSTR", "VXI0::1::INSTR", false},                   // same board: equal
        {"VXI0::1::INSTR", "VXI0::9::INSTR", false},
        {"USB0::1::INSTR", "USB0::2::INSTR", true}, // other kinds: plain strings
    };
    for (const Case &c : cases)
        EXPECT_EQ(descriptorLessThan(c.a, c.b), c.less) << c.a << " < " << c.b;
}

TEST(DuplicateAddresses, KeepTheFirstNameOfABox)
{
    std::vector<resourceInfo> records(4);
    records[0].name = "TCPIP0::box::INSTR";
    records[0].tcpipAddress = "192.0.2.5";
    records[1].name = "VXI0::1::INSTR";
    records[2].name = "TCPIP0::192.0.2.5::INSTR";
    records[2].tcpipAddress = "192.0.2.5";
    records[3].name = "VXI0::2::INSTR"; // no address: never a duplicate
    const std::vector<resourceInfo> kept = removeDuplicateAddresses(records);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].name, "TCPIP0::box::INSTR");
    EXPECT_EQ(kept[2].name, "VXI0::2::INSTR");
}

TEST_F(CardSearchTest, TreeShowsCarriersAndOnlyThePanelsCardsAsSelectable)
{
    kq7000fp_fcSelect select(&descriptor, true);
    ASSERT_EQ(select.searchCards(), 3);
    QTreeWidget *tree = select.tree();
    // Different kinds sort as strings; the LXI box appears once, under the name found first.
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "ASRL1");
    EXPECT_EQ(tree->topLevelItem(0)->childCount(), 0); // not a carrier
    QTreeWidgetItem *lxi = tree->topLevelItem(1);
    EXPECT_EQ(lxi->text(0), "TCPIP0");
    ASSERT_EQ(lxi->childCount(), 1);
    EXPECT_EQ(lxi->child(0)->text(0), "192.0.2.17 - 7014 LXI");
    EXPECT_EQ(lxi->child(0)->child(0)->data(1, kq7000fp_fcSelect::kCardRole).toString(),
              "TCPIP0::192.0.2.17::INSTR");

    QTreeWidgetItem *vxi = tree->topLevelItem(2)->child(0);
    EXPECT_EQ(vxi->text(0), "Slot 3 - 7005 MB");
    EXPECT_FALSE(vxi->flags() & Qt::ItemIsSelectable);
    EXPECT_TRUE(vxi->isExpanded());
    ASSERT_EQ(vxi->childCount(), 3); // slot 4 is empty
    const struct {
        const char *fc, *model;
        int number;
    } cards[] = {{"FC 2", "7150-BB", 2}, {"FC 3", "7140-BB", 0}, {"FC 5", "7150-BA", 5}};
    for (int j = 0; j < 3; ++j) {
        QTreeWidgetItem *item = vxi->child(j);
        EXPECT_EQ(item->text(0), cards[j].fc);
        EXPECT_EQ(item->text(1), cards[j].model);
        EXPECT_EQ(item->data(0, kq7000fp_fcSelect::kCardRole).toInt(), cards[j].number);
        EXPECT_EQ(item->data(1, kq7000fp_fcSelect::kCardRole).toString(), "VXI0::5::INSTR");
        const bool usable = cards[j].number != 0;
        EXPECT_EQ(bool(item->flags() & Qt::ItemIsSelectable), usable) << cards[j].fc;
        EXPECT_EQ(bool(item->flags() & Qt::ItemIsEnabled), usable) << cards[j].fc;
    }
}

TEST_F(CardSearchTest, OkTakesTheSelectionInOrderAndNothingSelectedKeepsTheDialogOpen)
{
    kq7000fp_fcSelect select(&descriptor, true);
    ASSERT_EQ(select.searchCards(), 3);
    QSignalSpy accepted(&select, &QDialog::accepted);
    select.okPressed();
    EXPECT_EQ(accepted.count(), 0);

    QTreeWidgetItem *vxi = select.tree()->topLevelItem(2)->child(0);
    vxi->child(2)->setSelected(true); // FC 5 first, then FC 2
    vxi->child(0)->setSelected(true);
    select.okPressed();
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_EQ(select.resourceList(), "VXI0::5::INSTR,VXI0::5::INSTR");
    EXPECT_EQ(select.cardCount(), 2);
    EXPECT_EQ(select.cardNumbers()[0], 5);
    EXPECT_EQ(select.cardNumbers()[1], 2);
}

TEST_F(CardSearchTest, TwoChosenCardsOpenAsOneSessionOverTheCarrierNamedTwice)
{
    ScriptedBoxes boxes({"Auto Find"});
    kq7000fp_fcSelect select(&descriptor, true);
    // The person at the tree: waits until it is shown, picks FC 5 then FC 2, presses OK.
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        if (!select.isVisible())
            return;
        person.stop();
        QTreeWidgetItem *vxi = select.tree()->topLevelItem(2)->child(0);
        vxi->child(2)->setSelected(true);
        vxi->child(0)->setSelected(true);
        select.okPressed();
    });
    person.start(10);
    ASSERT_TRUE(select.runConnectDialog());
    char call[256];
    kqsim_lastCall("kq7150_multInit", call, sizeof call);
    EXPECT_STREQ(call, "list=VXI0::5::INSTR,VXI0::5::INSTR idQuery=1 reset=1");
    EXPECT_NE(select.session(), 0u);
    EXPECT_EQ(select.cardCount(), 2);
    descriptor.closeCards(select.session());
}

TEST_F(CardSearchTest, NetworkBoxesAreProbedInParallel)
{
    const int delayMs = 400;
    std::string carriers;
    for (int i = 0; i < 8; ++i)
        carriers += (i ? "," : "") + lxiCarrier(i, delayMs);
    useWorld(R"({"carriers":[)" + carriers + "]}");
    kq7000fp_fcSelect select(&descriptor, true);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(select.searchCards(), 8);
    // One after the other would take 8 delays; in parallel it is about one.
    EXPECT_LT(clock.elapsed(), 4 * delayMs);
}

TEST_F(CardSearchTest, OneCardConnectsWithoutTheTree)
{
    useWorld(R"({"carriers":[)" + lxiCarrier(0, 0) + "]}");
    ScriptedBoxes boxes({"Auto Find"});
    kq7000fp_fcSelect select(&descriptor, true);
    ASSERT_TRUE(select.runConnectDialog());
    EXPECT_EQ(boxes.texts, QStringList{"How to connect to 7150 Function Card?"});
    EXPECT_NE(select.session(), 0u);
    EXPECT_EQ(select.demo(), 0);
    EXPECT_EQ(select.resourceList(), "TCPIP0::192.0.2.1::INSTR");
    EXPECT_EQ(select.cardNumbers()[0], 1);
    descriptor.closeCards(select.session());
}

TEST_F(CardSearchTest, NothingFoundOffersDemoMode)
{
    useWorld(R"({"carriers":[]})");
    ScriptedBoxes boxes({"Auto Find", "Run In Demo Mode"});
    kq7000fp_fcSelect select(&descriptor, true);
    ASSERT_TRUE(select.runConnectDialog());
    EXPECT_EQ(boxes.texts.value(1), "No 7150 Function Card found on your system.");
    EXPECT_EQ(select.demo(), 1);
    EXPECT_EQ(select.resourceList(), "VXI0::1::INSTR");
    EXPECT_EQ(select.cardCount(), 1);
    EXPECT_EQ(select.session(), 0u);
}

TEST_F(CardSearchTest, AWarningFromOpeningIsAFailureAndTryAgainStartsOver)
{
    useWorld(R"({"carriers":[)" + lxiCarrier(0, 0) + "]}");
    useWorld(R"({"faults":[{"call":"kq7150_multInit","status":"0x3FFC0A02"}]})", "KQ7150_SIM_FAULTS");
    ScriptedBoxes boxes({"Auto Find", "Try Again", "Cancel"});
    kq7000fp_fcSelect select(&descriptor, true);
    EXPECT_FALSE(select.runConnectDialog());
    ASSERT_EQ(boxes.texts.size(), 3);
    EXPECT_EQ(boxes.texts[1], "Selected 7150 Function Card is unavailable.\nError: " +
                                  QString::fromStdString(descriptor.errorMessage(0x3FFC0A02)));
    EXPECT_EQ(boxes.texts[2], "How to connect to 7150 Function Card?");
    EXPECT_EQ(kqsim_openSessions(), 0); // the session a warning came with is not kept
}

TEST_F(CardSearchTest, FrameLabelsTheCarrierItIsConnectedTo)
{
    useWorld(R"({"carriers":[)" + lxiCarrier(0, 0) + "]}");
    ScriptedBoxes boxes({"Auto Find"});
    kq7000fp_AppFC frame(descriptor, true, false, "6.1.4", true);
    EXPECT_EQ(frame.windowTitle(), "Movara 7150 Soft Front Panel: box0");
    EXPECT_TRUE(frame.isLxi());
    EXPECT_EQ(frame.findChild<QLabel *>("carrierInfo")->text(), "inst0");
    EXPECT_EQ(frame.findChild<QLabel *>("cardInfo")->text(), "FC 1");
    EXPECT_EQ(frame.demo(), 0);
    descriptor.closeCards(frame.session());
}

} // namespace
