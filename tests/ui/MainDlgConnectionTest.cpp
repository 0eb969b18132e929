// The connection panel and the device-information box.
#include <QAccessible>
#include <QApplication>
#include <QProgressDialog>
#include <QTimer>
#include <cstring>

#include "MainDlgFixture.h"
#include "NetworkPeers.h"
#include "sim/Identification.h"

namespace {

TEST_F(MainDlgTest, ButtonOpensAndClosesThePort) {
  EXPECT_EQ(Text(ids::OpenPortButton), "打开串口");
  EXPECT_EQ(dlg->m_address, 0);
  EXPECT_FALSE(dlg->m_link.IsOpen());

  Click(ids::OpenPortButton);
  EXPECT_TRUE(dlg->m_link.IsOpen());
  EXPECT_EQ(Text(ids::OpenPortButton), "关闭串口");
  EXPECT_EQ(dlg->m_address, 1);

  // Settings changed while open wait for the next open; the button closes.
  Select(ids::BaudCombo, 5);
  Select(ids::PortCombo, 14);
  EXPECT_TRUE(dlg->m_link.IsOpen());
  Click(ids::OpenPortButton);
  EXPECT_FALSE(dlg->m_link.IsOpen());
  EXPECT_EQ(Text(ids::OpenPortButton), "打开串口");
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(MainDlgTest, FailedOpenSaysSoAndStaysClosed) {
  Select(ids::PortCombo, 14);  // COM15: nothing behind it
  Click(ids::OpenPortButton);
  EXPECT_FALSE(dlg->m_link.IsOpen());
  EXPECT_EQ(Text(ids::OpenPortButton), "打开串口");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  const QStringList lines = boxes.Boxes()[0].text.split('\n');
  ASSERT_EQ(lines.size(), 2) << boxes.Boxes()[0].text.toStdString();
  EXPECT_EQ(lines[0], "打开串口失败");
  EXPECT_TRUE(lines[1].startsWith("COM15 没有对应的设备：没有链接 " + QString::fromStdString(line.Ports().Path())))
      << lines[1].toStdString();
  EXPECT_EQ(boxes.Boxes()[0].title, "KORVELT_Demo");

  // The same box names a link whose adapter has gone.
  line.Ports().Map(15, "/dev/serial/by-id/usb-KORVELT_unplugged-if00-port0");
  Click(ids::OpenPortButton);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_TRUE(boxes.Boxes()[1].text.startsWith("打开串口失败\n链接 ")) << boxes.Boxes()[1].text.toStdString();
  EXPECT_TRUE(boxes.Boxes()[1].text.contains("usb-KORVELT_unplugged-if00-port0"));
}

TEST_F(MainDlgTest, OpenWithoutABaudRateFails) {
  Select(ids::BaudCombo, -1);
  Click(ids::OpenPortButton);
  EXPECT_FALSE(dlg->m_link.IsOpen());
  EXPECT_EQ(Text(ids::OpenPortButton), "打开串口");
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"打开串口失败"});
}

TEST_F(MainDlgTest, ItemComTenOpensPortTen) {
  PtyPair silent;  // COM10: a line with nobody on it
  line.Ports().Map(10, silent.SlavePath());
  Select(ids::PortCombo, 9);
  Select(ids::BaudCombo, 2);
  Select(ids::ParityCombo, 2);
  Click(ids::OpenPortButton);
  ASSERT_TRUE(dlg->m_link.IsOpen());
  Click(ids::ReadInfoButton);
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"通讯超时"});
  EXPECT_EQ(line.Driver().RequestCount(), 0u);

  Click(ids::OpenPortButton);
  Select(ids::PortCombo, 0);
  Click(ids::OpenPortButton);
  Click(ids::ReadInfoButton);
  EXPECT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(line.Driver().RequestCount(), 1u);
}

TEST_F(MainDlgTest, APulledAdapterClosesThePortAndSaysSoOnce) {
  OpenAndPoll();
  const std::string device = dlg->m_link.DevicePath();
  line.Unplug();
  ASSERT_TRUE(WaitFor([&] { return Text(ids::OpenPortButton) == "打开串口"; }));
  EXPECT_FALSE(dlg->m_link.IsOpen());
  QTest::qWait(300);  // three more ticks of the timer bring no second box
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{QString::fromStdString("串口已断开: " + device)});
}

// A device server's port typed into the list: it opens, polls, joins the
// list for the run; the server going is a pulled adapter; the next open
// reconnects. A port that refuses says so in the open's box.
TEST_F(MainDlgTest, ATypedNetworkPortIsKeptAndLostAndRegainedAsAnAdapter) {
  auto server = std::make_unique<Ser2net>(line.Pty().SlavePath(), Ser2net::Mode::Raw);
  ASSERT_TRUE(server->Ready());
  const QString typed = QString::fromStdString(server->PortText());
  auto* ports = Get<QComboBox>(ids::PortCombo);
  ASSERT_TRUE(ports->isEditable());
  const int comItems = ports->count();
  ports->lineEdit()->selectAll();
  QTest::keyClicks(ports->lineEdit(), typed);

  OpenAndPoll();
  const std::string device = "127.0.0.1:" + std::to_string(server->Port());
  EXPECT_EQ(dlg->m_link.DevicePath(), device);
  Click(ids::ReadInfoButton);
  EXPECT_EQ(Text(ids::Model), "KVB-4815-RS485-S");
  const uint64_t asked = line.Driver().RequestCount();
  ASSERT_TRUE(WaitFor([&] { return line.Driver().RequestCount() > asked + 2; })) << "the status poll runs";
  ASSERT_EQ(ports->count(), comItems + 1);
  EXPECT_EQ(ports->itemText(comItems), typed);

  const uint16_t port = server->Port();
  server->Stop();
  ASSERT_TRUE(WaitFor([&] { return Text(ids::OpenPortButton) == "打开串口"; }));
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{QString::fromStdString("串口已断开: " + device)});

  server = std::make_unique<Ser2net>(line.Pty().SlavePath(), Ser2net::Mode::Raw, port);
  ASSERT_TRUE(server->Ready());
  EXPECT_EQ(ports->currentText(), typed) << "the entry stays chosen";
  Click(ids::OpenPortButton);
  ASSERT_TRUE(dlg->m_link.IsOpen());
  Click(ids::ReadInfoButton);
  EXPECT_EQ(boxes.Boxes().size(), 1u) << "the information came";
  Click(ids::OpenPortButton);

  const QString refused = QString("tcp://127.0.0.1:%1").arg(FreeLoopbackPort());
  ports->lineEdit()->selectAll();
  QTest::keyClicks(ports->lineEdit(), refused);
  Click(ids::OpenPortButton);
  EXPECT_FALSE(dlg->m_link.IsOpen());
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  EXPECT_TRUE(boxes.Boxes()[1].text.startsWith("打开串口失败\n")) << boxes.Boxes()[1].text.toStdString();
  EXPECT_TRUE(boxes.Boxes()[1].text.contains("拒绝连接"));
  EXPECT_EQ(ports->count(), comItems + 1) << "a port that did not open is not kept";
}

// A connection that does not come takes its whole time: the window goes on
// meanwhile, with a box that says what it waits for, and then says why.
TEST_F(MainDlgTest, AConnectionThatDoesNotComeLeavesTheWindowLive) {
  BlackHoleListener blackHole;
  auto* ports = Get<QComboBox>(ids::PortCombo);
  ports->lineEdit()->selectAll();
  const QString port = QString("tcp://127.0.0.1:%1").arg(blackHole.Port());
  QTest::keyClicks(ports->lineEdit(), port);
  QString seen;
  QTimer::singleShot(300, dlg.get(), [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QProgressDialog*>(widget); box != nullptr && box->isVisible()) {
        seen = box->labelText();
      }
    }
  });
  Click(ids::OpenPortButton);
  EXPECT_EQ(seen, "正在连接 " + port + " ...") << "the window's own timers ran while it connected";
  EXPECT_FALSE(dlg->m_link.IsOpen());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(boxes.Boxes()[0].text.startsWith("打开串口失败\n")) << boxes.Boxes()[0].text.toStdString();
}

TEST_F(MainDlgTest, AddressSwitchesSetTheAddressAtOnce) {
  Click(ids::FirstAddressSwitch + 2);  // "3": weight 4
  EXPECT_EQ(dlg->m_address, 5);
  Click(ids::FirstAddressSwitch + 6);  // "7": weight 64
  EXPECT_EQ(dlg->m_address, 69);
  Click(ids::FirstAddressSwitch + 2);
  EXPECT_EQ(dlg->m_address, 65);

  // A screen reader's toggle, not a click, counts the same.
  QAccessibleInterface* one = QAccessible::queryAccessibleInterface(Get<QAbstractButton>(ids::FirstAddressSwitch));
  ASSERT_NE(one, nullptr);
  ASSERT_NE(one->actionInterface(), nullptr);
  one->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_EQ(dlg->m_address, 66);
}

void PutModel(sim::SimulatedDriver& driver, const char (&model)[17]) {
  for (int i = 0; i < 8; ++i) {
    driver.SetRegister(static_cast<uint16_t>(2 + i),
                       static_cast<uint16_t>((static_cast<uint8_t>(model[2 * i]) << 8) | static_cast<uint8_t>(model[2 * i + 1])));
  }
}

TEST_F(MainDlgTest, ReadsDeviceInformationAndIdentification) {
  sim::SimulatedDriver& driver = line.Driver();
  driver.SetRegister(0x0000, 0x00AB);
  driver.SetRegister(0x0001, 0x020A);
  PutModel(driver, "KV-48V-TESTMODEL");
  driver.SetRegister(0x000A, 1000);
  driver.SetRegister(0x000B, 20000);
  driver.SetRegister(0x000C, 1234);
  driver.SetRegister(0x000D, 10);

  Click(ids::OpenPortButton);
  Click(ids::ReadInfoButton);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Text(ids::DeviceId), "0x00AB");
  EXPECT_EQ(Text(ids::Version), "2.10");
  EXPECT_EQ(Text(ids::Model), "KV-48V-TESTMODEL") << "all sixteen bytes";
  EXPECT_EQ(Text(ids::PwmResolution), "1/1000");
  EXPECT_EQ(Text(ids::PwmFrequency), "20.0kHz");
  EXPECT_EQ(Text(ids::MaxCurrent), "12.3A");
  EXPECT_EQ(Text(ids::CurrentResolution), "10mA");

  Click(ids::OemInfoButton);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  const QString identification = boxes.Boxes()[0].text;
  int basicObjects = 0;
  for (const sim::IdentificationObject& object : sim::IdentificationObjects()) {
    if (object.id > 2) continue;  // the basic objects: vendor, product code, revision
    ++basicObjects;
    EXPECT_TRUE(identification.contains(QString::fromUtf8(object.value.data(), object.value.size())))
        << identification.toStdString();
  }
  EXPECT_EQ(basicObjects, 3);

  // A failed read leaves the fields as they were.
  driver.SetFault(sim::Fault::ExceptionCode(0x04));
  Click(ids::ReadInfoButton);
  EXPECT_EQ(boxes.Texts().back(), "操作失败");
  EXPECT_EQ(Text(ids::DeviceId), "0x00AB");
}

TEST_F(MainDlgTest, DeviceButtonsOnAClosedPortSayThePortIsNotOpen) {
  Click(ids::ReadInfoButton);
  Click(ids::OemInfoButton);
  EXPECT_EQ(boxes.Texts(), (std::vector<QString>{"串口未打开", "串口未打开"}));
  for (int id = ids::DeviceId; id <= ids::CurrentResolution; ++id) EXPECT_EQ(Text(id), "-");
  EXPECT_EQ(line.Driver().RequestCount(), 0u);
}

}  // namespace
