<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AppOptions</name>
    <message>
        <source>  --demo        start a simulated device and put it on COM1.
</source>
        <translation>  --demo        启动一个模拟设备，放在 COM1 上。
</translation>
    </message>
    <message>
        <source>Usage: QK4410ConfTool [--com N=PATH]... [--com N] [--lang LANG]%1
                      [--journal FILE | --no-journal]
       QK4410ConfTool --help | --version

Configures a QK4410/QK4520 network data terminal over a serial port.

  --com N=PATH  make COM N (1 to 14) stand for the serial device PATH, for
                example --com 3=/dev/ttyUSB0; may be given more than once.
                Without it, COM1, COM2, ... are the serial ports found at start:
                USB and ACM adapters first, then built-in ports; adapters
                plugged in later take the free numbers. On Windows COMn is
                the system&apos;s COMn.
%3  --com N       select COM N and open it once the window shows, as the Open
                button does (which also reads the device&apos;s parameters).
  --journal FILE  record Set Param. and Adv Param.&apos;s Set in FILE; by default
                $XDG_STATE_HOME/qk4410/journal.sqlite (~/.local/state/...).
                A change the journal cannot record is not sent.
  --no-journal  record nothing.
  --lang LANG   the window&apos;s language, en or zh_CN. Without it, the language
                of LC_ALL, LC_MESSAGES or LANG (the first one set): zh... is
                Chinese, anything else English.
%2  -h, --help    show this text.
  --version     show the version.

Qt&apos;s own settings are taken from its environment variables, for example
QT_QPA_PLATFORM=offscreen or QT_SCALE_FACTOR=1.5.</source>
        <translation>用法：QK4410ConfTool [--com N=PATH]... [--com N] [--lang LANG]%1
                      [--journal FILE | --no-journal]
       QK4410ConfTool --help | --version

通过串口配置 QK4410/QK4520 网络数据终端。

  --com N=PATH  让 COM N（1 到 14）代表串口设备 PATH，例如
                --com 3=/dev/ttyUSB0；可以给出多次。
                不给出时，COM1、COM2…… 是启动时找到的串口：先是 USB 和
                ACM 适配器，然后是内置串口；之后插入的适配器使用空闲的
                编号。在 Windows 上 COMn 就是系统的 COMn。
%3  --com N       窗口显示后选中 COM N 并打开它，如同按下“打开”按钮
                （同时读取设备的参数）。
  --journal FILE  把“设置参数”和高级参数的“设置”记入 FILE；默认是
                $XDG_STATE_HOME/qk4410/journal.sqlite（~/.local/state/...）。
                更改记录无法记下的更改不会发送。
  --no-journal  不作记录。
  --lang LANG   窗口的语言：en 或 zh_CN。不给出时，取 LC_ALL、
                LC_MESSAGES 或 LANG 中第一个已设置的：zh... 为中文，
                其他为英文。
%2  -h, --help    显示本说明。
  --version     显示版本。

Qt 自身的设置取自它的环境变量，例如
QT_QPA_PLATFORM=offscreen 或 QT_SCALE_FACTOR=1.5。</translation>
    </message>
    <message>
        <source>                PATH may be a port served over the network, as ser2net
                serves it: rfc2217://HOST:PORT, whose server sets its line
                as the window&apos;s lists say, or tcp://HOST:PORT, raw TCP, at
                the server&apos;s own settings.
</source>
        <translation>                PATH 也可以是经网络提供的串口（如 ser2net 所提供）：
                rfc2217://HOST:PORT，其服务器按窗口的列表设置线路；或
                tcp://HOST:PORT，原始 TCP，沿用服务器自己的设置。
</translation>
    </message>
</context>
<context>
    <name>CAdvParamDlg</name>
    <message>
        <source>Logout</source>
        <translation>未登陆</translation>
    </message>
    <message>
        <source>Regist packet size should not exceed %d.</source>
        <translation>注册包长度不能超过 %d 字节。</translation>
    </message>
</context>
<context>
    <name>ComPortList</name>
    <message>
        <source>no serial device</source>
        <translation>无串口设备</translation>
    </message>
</context>
<context>
    <name>CoreText</name>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Entering Config Mode...</source>
        <translation>正在进入配置模式...</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>已登陆</translation>
    </message>
    <message>
        <source>Login fail!</source>
        <translation>登陆失败！</translation>
    </message>
    <message>
        <source>Log off</source>
        <translation>未登陆</translation>
    </message>
    <message>
        <source>Fail, Please try again!</source>
        <translation>失败，请重试！</translation>
    </message>
    <message>
        <source>Device lost, port closed</source>
        <translation>设备已断开，串口已关闭</translation>
    </message>
    <message>
        <source>Cannot open: nothing is selected in the %1 list.</source>
        <translation>无法打开：%1 列表中没有选择。</translation>
    </message>
    <message>
        <source>Cannot open: nothing is selected in the %1 lists.</source>
        <translation>无法打开：%1 列表中没有选择。</translation>
    </message>
    <message>
        <source>COM</source>
        <translation>COM</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>Data Bits</source>
        <translation>数据位</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>校验位</translation>
    </message>
    <message>
        <source>No answer to &quot;REQUEST CFG MODE&quot; at %1 baud in %2 s. The device may use another line speed: Find Device... (in the window&apos;s context menu) and qk4410-cli scan find it.</source>
        <translation>在 %1 波特下 %2 秒内没有收到对“REQUEST CFG MODE”的应答。设备可能使用其他线路速率：“查找设备…”（在窗口的右键菜单中）和 qk4410-cli scan 可以找到它。</translation>
    </message>
    <message>
        <source>Not sent: %1.</source>
        <translation>未发送：%1。</translation>
    </message>
    <message>
        <source>Login Key</source>
        <translation>登陆密钥</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>Device Baud Rate</source>
        <translation>设备波特率</translation>
    </message>
    <message>
        <source>Dest. IP/Name</source>
        <translation>目标 IP/域名</translation>
    </message>
    <message>
        <source>Dest. Port</source>
        <translation>目标端口</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>协议</translation>
    </message>
    <message>
        <source>Work Mode</source>
        <translation>工作模式</translation>
    </message>
    <message>
        <source>Heart Beat Interval</source>
        <translation>心跳间隔</translation>
    </message>
    <message>
        <source>Heart Beat Content</source>
        <translation>心跳内容</translation>
    </message>
    <message>
        <source>DNS Server IP</source>
        <translation>DNS 服务器 IP</translation>
    </message>
    <message>
        <source>Serial Data Bits</source>
        <translation>串口数据位</translation>
    </message>
    <message>
        <source>Serial Parity</source>
        <translation>串口校验位</translation>
    </message>
    <message>
        <source>Regist Packet</source>
        <translation>注册包</translation>
    </message>
    <message>
        <source>Regist Packet Content</source>
        <translation>注册包内容</translation>
    </message>
    <message>
        <source>Packet Gap</source>
        <translation>数据包间隔</translation>
    </message>
    <message>
        <source>Packet Size</source>
        <translation>数据包大小</translation>
    </message>
    <message>
        <source>Reconnect Interval</source>
        <translation>重连间隔</translation>
    </message>
    <message>
        <source>Reconnect Tries</source>
        <translation>重连次数</translation>
    </message>
    <message>
        <source>Offline Time</source>
        <translation>下线时间</translation>
    </message>
    <message>
        <source>Logout Packet</source>
        <translation>注销包</translation>
    </message>
    <message>
        <source>Logout Packet Content</source>
        <translation>注销包内容</translation>
    </message>
    <message>
        <source>no entry chosen</source>
        <translation>未选择</translation>
    </message>
    <message>
        <source>not in the list</source>
        <translation>不在列表中</translation>
    </message>
    <message>
        <source>holds a line break or zero byte</source>
        <translation>含有换行符或零字节</translation>
    </message>
    <message>
        <source>must be a port from 1 to 65535</source>
        <translation>必须是 1 到 65535 之间的端口</translation>
    </message>
    <message>
        <source>must be one of %1</source>
        <translation>必须是 %1 之一</translation>
    </message>
    <message>
        <source>is %1 bytes in GBK, at most %2</source>
        <translation>GBK 编码为 %1 字节，最多 %2 字节</translation>
    </message>
    <message>
        <source>cannot be set</source>
        <translation>不能设置</translation>
    </message>
    <message>
        <source>field strength:%1  temperature:%2℃  Voltage:%3</source>
        <translation>场强:%1  温度:%2℃  电压:%3</translation>
    </message>
    <message>
        <source>Hardware Ver:%1,Software Ver:%2</source>
        <translation>硬件版本:%1,软件版本:%2</translation>
    </message>
    <message>
        <source>Open com failed!</source>
        <translation>打开串口失败！</translation>
    </message>
    <message>
        <source>Write com failed</source>
        <translation>写串口失败</translation>
    </message>
    <message>
        <source>COM%1 stands for no device; port mapping: %2</source>
        <translation>COM%1 没有对应的设备；端口映射：%2</translation>
    </message>
    <message>
        <source>no serial ports found</source>
        <translation>未找到串口</translation>
    </message>
    <message>
        <source>COM%1=%2 (pinned)</source>
        <translation>COM%1=%2（指定）</translation>
    </message>
    <message>
        <source>COM%1=%2</source>
        <translation>COM%1=%2</translation>
    </message>
    <message>
        <source>COM%1 (%2): %3</source>
        <translation>COM%1（%2）：%3</translation>
    </message>
    <message>
        <source>the line was hung up (the device or its adapter is gone)</source>
        <translation>线路已挂断（设备或其适配器已断开）</translation>
    </message>
    <message>
        <source>%1; adapter: %2</source>
        <translation>%1；适配器：%2</translation>
    </message>
    <message>
        <source>%1: %2; port mapping: %3</source>
        <translation>%1：%2；端口映射：%3</translation>
    </message>
    <message>
        <source>%1 is not a serial port (not a terminal device)</source>
        <translation>%1 不是串口（不是终端设备）</translation>
    </message>
    <message>
        <source>%1 is locked by %2; also open in %3</source>
        <translation>%1 已被 %2 锁定；%3 也打开了它</translation>
    </message>
    <message>
        <source>%1 is locked by %2</source>
        <translation>%1 已被 %2 锁定</translation>
    </message>
    <message>
        <source>%1 is in use by another program (not visible in %2, perhaps one of another user)</source>
        <translation>%1 正被另一个程序使用（在 %2 中看不到，可能属于其他用户）</translation>
    </message>
    <message>
        <source>%1 is in use by another program</source>
        <translation>%1 正被另一个程序使用</translation>
    </message>
    <message>
        <source>%1 is in use by %2</source>
        <translation>%1 正被 %2 使用</translation>
    </message>
    <message>
        <source>pid %1 (%2, this program)</source>
        <translation>pid %1（%2，本程序）</translation>
    </message>
    <message>
        <source>pid %1 (%2)</source>
        <translation>pid %1（%2）</translation>
    </message>
    <message>
        <source>%1: %2 (mode %3, owner %4, group %5). Members of %6 may not read and write it, so joining the group would not help; only %7 and root may open it. a udev rule can give a group access, for example in %8 (then: %9)</source>
        <translation>%1：%2（权限 %3，所有者 %4，组 %5）。%6 组的成员不能读写它，加入该组也无济于事；只有 %7 和 root 可以打开它。udev 规则可以给一个组访问权限，例如在 %8 中（然后：%9）</translation>
    </message>
    <message>
        <source>%1: %2 (mode %3, owner %4, group %5). Members of %6 may not read and write it, so joining the group would not help; only root may open it. a udev rule can give a group access, for example in %7 (then: %8)</source>
        <translation>%1：%2（权限 %3，所有者 %4，组 %5）。%6 组的成员不能读写它，加入该组也无济于事；只有 root 可以打开它。udev 规则可以给一个组访问权限，例如在 %7 中（然后：%8）</translation>
    </message>
    <message>
        <source>%1: %2 (mode %3, owner %4, group %5). This program has group %6, which may read and write it: something else refuses access (an ACL or a security module)</source>
        <translation>%1：%2（权限 %3，所有者 %4，组 %5）。本程序属于可以读写它的 %6 组：是别的机制拒绝了访问（ACL 或安全模块）</translation>
    </message>
    <message>
        <source>%1: %2 (mode %3, owner %4, group %5). %6 is in group %7, but this session started before that: log out and in again (a new group membership takes effect only after a new login)</source>
        <translation>%1：%2（权限 %3，所有者 %4，组 %5）。%6 在 %7 组中，但本次会话在加入之前就已开始：请注销后重新登陆（新的组成员身份在重新登陆后才生效）</translation>
    </message>
    <message>
        <source>%1: %2 (mode %3, owner %4, group %5). Members of %6 may open it, and %7 is not one: %8, then log out and in again (a new group membership takes effect only after a new login)</source>
        <translation>%1：%2（权限 %3，所有者 %4，组 %5）。%6 组的成员可以打开它，而 %7 不是成员：%8，然后注销并重新登陆（新的组成员身份在重新登陆后才生效）</translation>
    </message>
    <message>
        <source>this user</source>
        <translation>当前用户</translation>
    </message>
    <message>
        <source>%1 is not open</source>
        <translation>%1 未打开</translation>
    </message>
    <message>
        <source>the port is not open</source>
        <translation>串口未打开</translation>
    </message>
    <message>
        <source>%1 (%2 of %3 bytes written)</source>
        <translation>%1（已写入 %2/%3 字节）</translation>
    </message>
    <message>
        <source>timed out after %1 ms</source>
        <translation>%1 毫秒后超时</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>%1: %2: %3</source>
        <translation>%1：%2：%3</translation>
    </message>
    <message>
        <source>reading the line settings</source>
        <translation>读取线路设置</translation>
    </message>
    <message>
        <source>raw mode</source>
        <translation>原始模式</translation>
    </message>
    <message>
        <source>discarding queued bytes</source>
        <translation>丢弃队列中的字节</translation>
    </message>
    <message>
        <source>line settings</source>
        <translation>线路设置</translation>
    </message>
    <message>
        <source>queue sizes</source>
        <translation>队列大小</translation>
    </message>
    <message>
        <source>timeouts</source>
        <translation>超时设置</translation>
    </message>
    <message>
        <source>%1 baud</source>
        <translation>%1 波特</translation>
    </message>
    <message>
        <source>the line runs at %1 baud</source>
        <translation>线路实际运行在 %1 波特</translation>
    </message>
    <message>
        <source>%1 data bits are not possible (5 to 8)</source>
        <translation>不能使用 %1 个数据位（5 到 8）</translation>
    </message>
    <message>
        <source>stop-bits code %1 is unknown (0, 1 or 2)</source>
        <translation>未知的停止位代码 %1（0、1 或 2）</translation>
    </message>
    <message>
        <source>parity code %1 is unknown (0 none, 1 odd, 2 even)</source>
        <translation>未知的校验代码 %1（0 无校验，1 奇校验，2 偶校验）</translation>
    </message>
    <message>
        <source>no serial device stands behind it</source>
        <translation>没有对应的串口设备</translation>
    </message>
    <message>
        <source>Operation not permitted</source>
        <translation>不允许的操作</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <translation>没有那个文件或目录</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>输入/输出错误</translation>
    </message>
    <message>
        <source>No such device or address</source>
        <translation>没有那个设备或地址</translation>
    </message>
    <message>
        <source>Resource temporarily unavailable</source>
        <translation>资源暂时不可用</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>权限不够</translation>
    </message>
    <message>
        <source>Device or resource busy</source>
        <translation>设备或资源忙</translation>
    </message>
    <message>
        <source>No such device</source>
        <translation>没有那个设备</translation>
    </message>
    <message>
        <source>Invalid argument</source>
        <translation>无效的参数</translation>
    </message>
    <message>
        <source>Inappropriate ioctl for device</source>
        <translation>对设备不适当的 ioctl 操作</translation>
    </message>
    <message>
        <source>Operation canceled</source>
        <translation>操作已取消</translation>
    </message>
    <message>
        <source>Connection timed out</source>
        <translation>连接超时</translation>
    </message>
    <message>
        <source>Connection refused</source>
        <translation>拒绝连接</translation>
    </message>
    <message>
        <source>Connection reset by peer</source>
        <translation>连接被对方重置</translation>
    </message>
    <message>
        <source>No route to host</source>
        <translation>没有到主机的路由</translation>
    </message>
    <message>
        <source>Broken pipe</source>
        <translation>断开的管道</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>the file is %1 bytes, more than a profile holds (%2)</source>
        <translation>文件有 %1 字节，超过配置文件的上限（%2）</translation>
    </message>
    <message>
        <source>a profile format this program does not know: %1</source>
        <translation>本程序不认识的配置文件格式：%1</translation>
    </message>
    <message>
        <source>the format line must come before the settings</source>
        <translation>格式行必须在各项设置之前</translation>
    </message>
    <message>
        <source>expected NAME=VALUE, got %1</source>
        <translation>应为 NAME=VALUE，实际为 %1</translation>
    </message>
    <message>
        <source>unknown name %1 (known: %2)</source>
        <translation>未知的名称 %1（已知的有：%2）</translation>
    </message>
    <message>
        <source>%1 given again (first on line %2)</source>
        <translation>%1 重复出现（第一次在第 %2 行）</translation>
    </message>
    <message>
        <source>the profile names no setting</source>
        <translation>配置文件中没有任何设置</translation>
    </message>
    <message>
        <source>%1, and the device does not hold that value</source>
        <translation>%1，而设备当前的值不是它</translation>
    </message>
    <message>
        <source>%1: a value cannot hold a line break or zero byte</source>
        <translation>%1：值不能含有换行符或零字节</translation>
    </message>
    <message>
        <source>%1 %2, got %3</source>
        <translation>%1 %2，实际为 %3</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>not valid UTF-8</source>
        <translation>不是有效的 UTF-8</translation>
    </message>
    <message>
        <source>a character has no GBK form</source>
        <translation>有字符无法用 GBK 表示</translation>
    </message>
    <message>
        <source>unknown escape %1 (write a backslash as \\)</source>
        <translation>未知的转义 %1（反斜杠请写作 \\）</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
    </message>
    <message>
        <source>built-in port</source>
        <translation>内置串口</translation>
    </message>
    <message>
        <source>built-in port (%1 UART)</source>
        <translation>内置串口（%1 UART）</translation>
    </message>
    <message>
        <source>built-in port (UART type %1 UART)</source>
        <translation>内置串口（UART 类型 %1）</translation>
    </message>
    <message>
        <source>USB serial adapter</source>
        <translation>USB 串口适配器</translation>
    </message>
    <message>
        <source>%1 (%2, serial %3)</source>
        <translation>%1（%2，序列号 %3）</translation>
    </message>
    <message>
        <source>%1 (serial %2)</source>
        <translation>%1（序列号 %2）</translation>
    </message>
    <message>
        <source>%1 by %2</source>
        <translation>%2 %1</translation>
    </message>
    <message>
        <source>, </source>
        <translation>，</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1；%2</translation>
    </message>
    <message>
        <source>No answer to &quot;REQUEST CFG MODE&quot; at %1 baud in %2 s. The device may use another line speed: Find Device... (in the window&apos;s context menu) and qk4410-cli scan find it. The port is open in %3 as well, which may take the answers.</source>
        <translation>在 %1 波特下 %2 秒内没有收到对“REQUEST CFG MODE”的应答。设备可能使用其他线路速率：“查找设备…”（在窗口的右键菜单中）和 qk4410-cli scan 可以找到它。%3 也打开了这个串口，可能会取走应答。</translation>
    </message>
    <message>
        <source>the device&apos;s value came cut short, and is not written over</source>
        <translation>设备的值没有完整收到，不会覆盖它</translation>
    </message>
    <message>
        <source>Not sent: the journal cannot record the change (%1).</source>
        <translation>未发送：更改记录无法记下这次更改（%1）。</translation>
    </message>
</context>
<context>
    <name>DialogTemplate</name>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Serial Paramters</source>
        <translation>串口参数</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Login</source>
        <translation>登陆</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清除</translation>
    </message>
    <message>
        <source>Get Param.</source>
        <translation>读取参数</translation>
    </message>
    <message>
        <source>Set Param.</source>
        <translation>设置参数</translation>
    </message>
    <message>
        <source>Baund Rate</source>
        <translation>波特率</translation>
    </message>
    <message>
        <source>Dest. IP/Name</source>
        <translation>目标IP/域名</translation>
    </message>
    <message>
        <source>Dest. Port</source>
        <translation>目标端口</translation>
    </message>
    <message>
        <source>Login Key:</source>
        <translation>登陆密钥：</translation>
    </message>
    <message>
        <source>Baund Rate:</source>
        <translation>波特率：</translation>
    </message>
    <message>
        <source>Protocol:</source>
        <translation>协议：</translation>
    </message>
    <message>
        <source>Adv Param.</source>
        <translation>高级参数</translation>
    </message>
    <message>
        <source>Login </source>
        <translation>登陆</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Config Mode:</source>
        <translation>配置模式：</translation>
    </message>
    <message>
        <source>Login:</source>
        <translation>登陆：</translation>
    </message>
    <message>
        <source>off</source>
        <translation>未登陆</translation>
    </message>
    <message>
        <source>Data Bits</source>
        <translation>数据位</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>校验位</translation>
    </message>
    <message>
        <source>Advanced Parameters</source>
        <translation>高级参数</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Work Parameters</source>
        <translation>工作参数</translation>
    </message>
    <message>
        <source>Heart Beat Content:</source>
        <translation>心跳内容：</translation>
    </message>
    <message>
        <source>Regist Packet Content:</source>
        <translation>注册包内容：</translation>
    </message>
    <message>
        <source>Work Mode:</source>
        <translation>工作模式：</translation>
    </message>
    <message>
        <source>Regist Packet:</source>
        <translation>注册包：</translation>
    </message>
    <message>
        <source>DNS Server IP:</source>
        <translation>DNS服务器IP：</translation>
    </message>
    <message>
        <source>Heart Beat Interval:</source>
        <translation>心跳间隔：</translation>
    </message>
    <message>
        <source>Serial Data Bits:</source>
        <translation>串口数据位：</translation>
    </message>
    <message>
        <source>Serial Parity:</source>
        <translation>串口校验位：</translation>
    </message>
    <message>
        <source>Reconnect Interval:</source>
        <translation>重连间隔：</translation>
    </message>
    <message>
        <source>Reconnet Try Times:</source>
        <translation>重连次数：</translation>
    </message>
    <message>
        <source>Dis-connect Time:</source>
        <translation>断开时间：</translation>
    </message>
    <message>
        <source>Logout Packet :</source>
        <translation>注销包：</translation>
    </message>
    <message>
        <source>Logout Packet Content:</source>
        <translation>注销包内容：</translation>
    </message>
    <message>
        <source>Data Packet Gap:</source>
        <translation>数据包间隔：</translation>
    </message>
    <message>
        <source>Data Packet Size:</source>
        <translation>数据包大小：</translation>
    </message>
    <message>
        <source>About QK4410ConfTool</source>
        <translation>关于 QK4410ConfTool</translation>
    </message>
    <message>
        <source>QK4410ConfTool contributors, open source</source>
        <translation>QK4410ConfTool 贡献者，开源软件</translation>
    </message>
</context>
<context>
    <name>FileCommands</name>
    <message>
        <source>… and 1 more problem</source>
        <translation>……还有 1 个问题</translation>
    </message>
    <message>
        <source>… and %1 more problems</source>
        <translation>……还有 %1 个问题</translation>
    </message>
    <message>
        <source>Profiles (*.profile);;All files (*)</source>
        <translation>配置文件 (*.profile);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Save Profile</source>
        <translation>保存配置文件</translation>
    </message>
    <message>
        <source>%1 was saved, but Load Profile and qk4410-cli apply refuse it as it is:</source>
        <translation>%1 已保存，但“载入配置文件”和 qk4410-cli apply 会拒绝这样的文件：</translation>
    </message>
    <message>
        <source>Load Profile</source>
        <translation>载入配置文件</translation>
    </message>
    <message>
        <source>Cannot read %1</source>
        <translation>无法读取 %1</translation>
    </message>
    <message>
        <source>Nothing was loaded from %1, which is larger than any profile (more than %2 bytes).</source>
        <translation>没有从 %1 载入任何内容：它比任何配置文件都大（超过 %2 字节）。</translation>
    </message>
    <message>
        <source>Nothing was loaded from %1, which has these problems:</source>
        <translation>没有从 %1 载入任何内容，它有以下问题：</translation>
    </message>
    <message>
        <source>Save Log</source>
        <translation>保存日志</translation>
    </message>
    <message>
        <source>Logs (*.log);;All files (*)</source>
        <translation>日志 (*.log);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Cannot write %1</source>
        <translation>无法写入 %1</translation>
    </message>
</context>
<context>
    <name>qk::ui::CConfigToolDlg</name>
    <message>
        <source>No device has reported its ID yet: open the port, and the history of the device that answers is shown.</source>
        <translation>还没有设备报告它的 ID：打开串口后，显示应答设备的更改记录。</translation>
    </message>
    <message>
        <source>The journal cannot be read.</source>
        <translation>无法读取更改记录。</translation>
    </message>
</context>
<context>
    <name>qk::ui::DeviceFinder</name>
    <message>
        <source>Close the port first: Find Device tries every port, %1 included.</source>
        <translation>请先关闭串口：“查找设备”会尝试每一个串口，包括 %1。</translation>
    </message>
    <message>
        <source>There is no serial port to search.</source>
        <translation>没有可以查找的串口。</translation>
    </message>
    <message>
        <source>Plug in an adapter, or name a port with --com N=PATH.</source>
        <translation>请插入适配器，或用 --com N=PATH 指定串口。</translation>
    </message>
    <message>
        <source>waiting</source>
        <translation>等待中</translation>
    </message>
    <message>
        <source>Find Device</source>
        <translation>查找设备</translation>
    </message>
    <message>
        <source>%1 baud</source>
        <translation>%1 波特</translation>
    </message>
    <message>
        <source>found at %1 baud</source>
        <translation>找到，%1 波特</translation>
    </message>
    <message>
        <source>no device</source>
        <translation>无设备</translation>
    </message>
    <message>
        <source>cannot open</source>
        <translation>无法打开</translation>
    </message>
    <message>
        <source>Looking for a device on every port:</source>
        <translation>正在每个串口上查找设备：</translation>
    </message>
    <message>
        <source>%1 on %2 at %3 baud</source>
        <translation>%2 上的 %1，%3 波特</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>一台设备</translation>
    </message>
    <message>
        <source>No device answered on %1, at any line speed.</source>
        <translation>%1 上没有设备应答（已试过所有线路速率）。</translation>
    </message>
    <message>
        <source>Found %1.</source>
        <translation>找到 %1。</translation>
    </message>
    <message>
        <source>%1 is selected.</source>
        <translation>已选中 %1。</translation>
    </message>
</context>
<context>
    <name>qk::ui::HistoryDialog</name>
    <message>
        <source>confirmed</source>
        <translation>已确认</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>sent, not asked back</source>
        <translation>已发送，未回读</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>已中断</translation>
    </message>
    <message>
        <source>running</source>
        <translation>进行中</translation>
    </message>
    <message>
        <source>History of %1</source>
        <translation>%1 的更改记录</translation>
    </message>
    <message>
        <source>Started (UTC)</source>
        <translation>开始时间（UTC）</translation>
    </message>
    <message>
        <source>Changed by</source>
        <translation>更改者</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>串口</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>参数</translation>
    </message>
    <message>
        <source>Before</source>
        <translation>更改前</translation>
    </message>
    <message>
        <source>After</source>
        <translation>更改后</translation>
    </message>
    <message>
        <source>(sent %1)</source>
        <translation>（已发送 %1）</translation>
    </message>
    <message>
        <source>(not reported)</source>
        <translation>（未报告）</translation>
    </message>
    <message>
        <source>The journal holds no change of this device.</source>
        <translation>更改记录中没有这台设备的更改。</translation>
    </message>
</context>
<context>
    <name>qk::ui::SystemMenu</name>
    <message>
        <source>&amp;Close</source>
        <translation>关闭(&amp;C)</translation>
    </message>
    <message>
        <source>Save Profile…</source>
        <translation>保存配置文件…</translation>
    </message>
    <message>
        <source>Load Profile…</source>
        <translation>载入配置文件…</translation>
    </message>
    <message>
        <source>Save Log…</source>
        <translation>保存日志…</translation>
    </message>
    <message>
        <source>Find Device…</source>
        <translation>查找设备…</translation>
    </message>
    <message>
        <source>History…</source>
        <translation>更改记录…</translation>
    </message>
</context>
</TS>
