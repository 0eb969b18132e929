#include <cstdio>
#include <string_view>

#include "lang/Texts.h"
#include "ui/DemoApp.h"
#include "ui/LanguageSetting.h"

namespace {

constexpr const char* kHelp =
    "用法: KORVELT_Demo [--version | --help]\n"
    "\n"
    "通过 RS-485 (Modbus RTU) 配置和测试无刷直流电机驱动器.\n"
    "打开工具的窗口; 串口, 波特率, 校验方式和从站地址在窗口中选择.\n"
    "\n"
    "COMn 是链接 $KORVELT_PORTS/COMn (默认 ~/.korvelt/ports/COMn), 不存在时\n"
    "为第 n 个串口设备: 先 ttyUSB*, ttyACM*, 再 ttyS*. 指向\n"
    "/dev/serial/by-id/ 下适配器名称的链接在重新插拔后保持其 COM 号.\n"
    "\n"
    "选项:\n"
    "  --version               显示版本并退出\n"
    "  --help                  显示本帮助并退出\n"
    "  --demo-screenshot FILE  (scripts/demo) 打开串口, 轮询, 将窗口截图保存\n"
    "                          到 FILE 并退出\n"
    "也接受 Qt 自身的选项 (如 -platform).\n"
    "\n"
    "界面语言为 \"帮助\" → \"语言 / Language\" 中的选择, 未选择时跟随系统区域\n"
    "设置 (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before the application object exists, so they need no display.
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--version") {
      std::printf("KORVELT_Demo %s\n", KORVELT_VERSION);
      return 0;
    }
    if (option == "--help" || option == "-h") {
      // In the language the window would speak.
      lang::Use(ui::LanguageOf(ui::ReadLanguageChoice(ui::LanguageSettingPath())));
      std::fputs(lang::Tr(kHelp), stdout);
      return 0;
    }
  }
  CDemoApp app(argc, argv);
  return app.InitInstance();
}
