// Every text the user sees, in one place, as UTF-8. The Win32 layer converts to
// UTF-16 at the API edge; nothing else in the program spells a user-visible text.
#pragma once

namespace text {

inline constexpr char kAppTitle[] = "TellurixAdmin";
inline constexpr char kAlreadyRunning[] = "您已经运行这个应用程序了！";
inline constexpr char kNoMainWindow[] = "无法创建主窗口，程序将退出。";

// Captions of the main window's controls.
inline constexpr char kFrame1[] = "运行状态";
inline constexpr char kLabel1[] = "Apache：";
inline constexpr char kLabel2[] = "MySQL：";
inline constexpr char kFrameApache[] = "Apache";
inline constexpr char kFrame3[] = "MySQL";
inline constexpr char kFrame2[] = "提示信息";
inline constexpr char kStart[] = "启动";
inline constexpr char kStop[] = "停止";
inline constexpr char kRestart[] = "重启";
inline constexpr char kSiteManager[] = "站点管理";
inline constexpr char kMoreSettings[] = "更多设置";

// Status marks and their tooltips.
inline constexpr char kRunningMark[] = "●";
inline constexpr char kStoppedMark[] = "■";
inline constexpr char kApacheRunningTip[] = "Apache运行";
inline constexpr char kApacheStoppedTip[] = "Apache停止";
inline constexpr char kMySQLRunningTip[] = "MySQL运行";
inline constexpr char kMySQLStoppedTip[] = "MySQL停止";

// Message-list texts; each ends in three full stops and four spaces, the time follows.
inline constexpr char kApacheStarted[] = "Apache已经启动...    ";
inline constexpr char kApacheStopped[] = "Apache已经停止...    ";
inline constexpr char kMySQLStarted[] = "MySQL已经启动...    ";
inline constexpr char kMySQLStopped[] = "MySQL已经停止...    ";
// When a server will not start: what the panel found out, and what it offers.
inline constexpr char kLineEnd[] = "...    ";
inline constexpr char kServiceMissingBefore[] = "服务";
inline constexpr char kServiceMissingAfter[] = "尚未安装";
inline constexpr char kInstallQuestion[] = "服务尚未安装，是否现在安装？";
inline constexpr char kInstalled[] = "已安装服务";
inline constexpr char kInstallFailedBefore[] = "安装服务";
inline constexpr char kFailedColon[] = "失败：";
inline constexpr char kInstallTimedOut[] = "30秒内没有结束";
inline constexpr char kElevateQuestion[] = "启动和停止服务需要管理员权限，是否以管理员身份重新运行TellurixAdmin？";
inline constexpr char kNoRights[] = "没有权限操作服务";
inline constexpr char kStartFailed[] = "启动失败：";
inline constexpr char kStopFailed[] = "停止失败：";
inline constexpr char kExitCode[] = "退出代码 ";
inline constexpr char kPort[] = "端口";
inline constexpr char kTakenByOther[] = "已被其他程序占用";
inline constexpr char kTakenBy[] = "已被";
inline constexpr char kTakenPid[] = "（PID ";
inline constexpr char kTakenPidAfter[] = "）占用";
// What the server's own error log and exit codes say, in plain words ("{}" is
// the port, the module, the setting, the file or the data folder).
inline constexpr char kErrorLog[] = "错误日志：";
inline constexpr char kCausePortForbidden[] =
    "端口{}被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），请换用其他端口";
inline constexpr char kCauseModule[] = "Apache无法加载模块：{}";
// A module of the other bitness (Windows' error 193), and a directive Apache does
// not know: the file name, Apache's line number, the directive.
inline constexpr char kCauseModuleBitness[] =
    "Apache无法加载模块：{}（它与Apache的位数不同，比如64位的PHP配32位的Apache）";
inline constexpr char kCauseUnknownDirective[] = "{}第{}行：Apache不认识指令{}（拼写错误，或者提供它的模块没有加载）";
inline constexpr char kCauseDataLocked[] = "MySQL的数据文件正被其他程序使用（另一个MySQL或杀毒软件？）";
inline constexpr char kCauseUnknownSetting[] = "my.ini中有MySQL不认识的设置：{}";
inline constexpr char kCauseDataDamaged[] = "MySQL的数据文件可能已损坏，修复之前请先备份“{}”";
inline constexpr char kCauseLogFileSize[] = "my.ini中的innodb_log_file_size与现有日志文件的大小不符，请改回原来的值";
inline constexpr char kCauseDataFileSize[] =
    "my.ini中的innodb_data_file_path与现有的数据文件{}的大小不符，请改回原来的值";
inline constexpr char kCauseBufferPool[] = "my.ini中的innodb_buffer_pool_size太大，MySQL分配不到这么多内存，请改小";
inline constexpr char kCauseNoSystemDatabase[] = "MySQL的数据文件夹中缺少系统数据库mysql：“{}\\mysql”";
inline constexpr char kCauseSystemTableDamaged[] = "MySQL的系统数据库mysql中的表{}已损坏";
inline constexpr char kCauseNoDataFolder[] = "MySQL的数据文件夹不存在：{}";
inline constexpr char kCauseNoDocumentRoot[] = "网站目录不存在：{}";
inline constexpr char kCauseNoCertificate[] = "SSL证书文件不存在：{}";
inline constexpr char kCauseErrorLogUnopenable[] = "Apache无法打开错误日志文件：{}";
// Another MySQL holds the data files: its image name and process id.
inline constexpr char kOtherMySQL[] = "另一个MySQL（{}，PID {}）正在使用MySQL的数据文件，请先停止它";
// A start that succeeded, and a log that tells of damaged data (the table follows, where named).
inline constexpr char kDamageAfterStart[] = "MySQL已经启动，但错误日志显示数据有损坏";
inline constexpr char kDamageAfterStartTable[] = "MySQL已经启动，但错误日志显示数据有损坏：{}";
// What Apache running as a service said before its logs were open (the event log).
inline constexpr char kApacheReported[] = "Apache报告：";
// A start that succeeded, and the server stopped soon after; the server goes in front.
inline constexpr char kStoppedAfterStart[] = "启动后又停止了";
// The stop half of a restart that did not end; the server goes in front.
inline constexpr char kNotStoppedInTime[] = "没有在120秒内停止，没有重新启动";
// A program that never ran; its image name goes in front.
inline constexpr char kDllMissing[] = "无法运行：缺少它需要的DLL（常见的是Visual C++运行库）";
inline constexpr char kWrongBitness[] = "无法运行：它或它需要的DLL与Windows的位数不符";
// A port held by the Windows HTTP service, and the services known to serve through it.
inline constexpr char kTakenByHttpService[] = "已被Windows的HTTP服务占用（System，PID 4）";
inline constexpr char kHttpServiceUsers[] = "使用HTTP服务的是：";
// The fixes offered before `net` runs, or after a start that failed ("{}" in
// order: service or server, port, path, as each text has them).
inline constexpr char kDisabledQuestion[] = "{}服务已被禁用，是否改为手动启动？";
inline constexpr char kDisabled[] = "服务{}已被禁用";
inline constexpr char kMadeManual[] = "服务{}已改为手动启动";
inline constexpr char kChangeFailed[] = "修改服务{}失败：{}";
// The administrator prompt of an install or a service change answered No.
inline constexpr char kNotElevated[] = "没有得到管理员权限，服务{}没有改动";
// A DLL of Windows (or a function of it) that a command loads and cannot find.
inline constexpr char kSystemDllMissing[] = "无法加载Windows的系统文件：{}";
inline constexpr char kForeignProgram[] = "服务{}运行的是其他位置的程序：{}";
inline constexpr char kForeignQuestion[] = "是否把服务{}改为本目录的{}？";
inline constexpr char kNoFreePort[] = "没有找到可用的端口，请在{}设置中换用其他端口";
inline constexpr char kPortMoveQuestion[] = "端口{}已被占用，是否把{}改用端口{}？";
inline constexpr char kForbiddenPortMoveQuestion[] = "端口{}被系统禁止使用，是否把{}改用端口{}？";
inline constexpr char kPortMoved[] = "{}已改用端口{}";
inline constexpr char kVhostsStillOnPort[] = "站点管理中的虚拟主机仍使用端口{}，请一并修改";
inline constexpr char kMySQLClientsPort[] = "连接MySQL的程序（如phpMyAdmin）请改用端口{}";
inline constexpr char kConfigBroken[] = "Apache配置有误，没有执行：";
inline constexpr char kConfigBrokenMessage[] = "httpd.conf有错误，命令没有执行：";
inline constexpr char kApacheStarting[] = "Apache正在启动...    ";
inline constexpr char kApacheStopping[] = "Apache正在停止...    ";
inline constexpr char kMySQLStarting[] = "MySQL正在启动...    ";
inline constexpr char kMySQLStopping[] = "MySQL正在停止...    ";
// A command line that could not be launched; the command line is put between the quotes.
inline constexpr char kLaunchFailedBefore[] = "无法运行命令“";
inline constexpr char kLaunchFailedAfter[] = "”...    ";

// Copying MySQL's data folder before a rescue ("{}" in order, as each text has them).
inline constexpr char kDataCopyQuestion[] =
    "MySQL的数据可能已损坏。是否先把数据文件夹完整复制一份？复制完成之前不会改动任何数据。";
// While a step of the rescue runs: MySQL's commands are refused, and quitting asks first.
inline constexpr char kRescueBusy[] = "MySQL数据救援正在进行，请等它结束";
inline constexpr char kRescueQuitQuestion[] =
    "MySQL数据救援正在进行。是否停止它并退出？（复制到一半的文件夹会被删除，数据文件夹不会改动）";
inline constexpr char kRescueCaption[] = "以恢复模式导出MySQL的数据库";
inline constexpr char kRebuildCaption[] = "用救出的数据重建MySQL的数据文件夹";
inline constexpr char kDataCopyCaption[] = "复制MySQL的数据文件夹";
inline constexpr char kDataCopyProgress[] = "正在复制到：{}";
inline constexpr char kDataCopyCancelling[] = "正在取消，并删除已复制的文件...";
inline constexpr char kDataCopyServiceRunning[] = "MySQL正在运行，请先停止MySQL再复制数据文件夹";
inline constexpr char kDataCopyServicePending[] = "MySQL服务正在启动或停止，请等它停止后再复制数据文件夹";
inline constexpr char kDataCopyServiceUnknown[] = "无法得知MySQL服务的状态，没有复制数据文件夹";
inline constexpr char kDataCopyServerRunning[] = "{}（PID {}）正在使用数据文件夹，请先结束它再复制";
inline constexpr char kDataCopyNoSpace[] = "磁盘空间不足，没有复制数据文件夹：需要{}，只有{}可用";
inline constexpr char kDataCopyUnreadable[] = "无法读取数据文件夹中的“{}”：{}";
inline constexpr char kDataCopyDone[] = "已把MySQL的数据文件夹复制到：{}（{}个文件，{}）";
inline constexpr char kDataCopyCancelled[] = "已取消复制数据文件夹";
inline constexpr char kDataCopyFailed[] = "复制“{}”失败：{}";
inline constexpr char kDataCopyRemoved[] = "已复制的文件已删除，数据文件夹没有改动";
inline constexpr char kDataCopyLeftBehind[] = "以下已复制的文件没能删除，请手动删除：{}";
inline constexpr char kListSeparator[] = "、";
inline constexpr char kAndMore[] = "等{}个";
// What the check after the copy found, as the reason of a failed copy.
inline constexpr char kDataCopyMissing[] = "复制后找不到这个文件";
inline constexpr char kDataCopySizeDiffers[] = "复制后大小不符（应为{}字节，实为{}字节）";
inline constexpr char kDataCopyExtra[] = "复制后多出了这个文件";

// Quick-access failures, shown in message boxes; the path or command follows.
inline constexpr char kCannotStart[] = "无法启动程序：";
inline constexpr char kCannotWriteFile[] = "无法写入文件：";
inline constexpr char kNoDocumentRoot[] = "尚未设置网站根目录，请先在“Apache 设置”中设置。";
inline constexpr char kDocumentRootMissing[] = "网站根目录不存在，请先在“Apache 设置”中设置：";

// Settings dialogs: a file that could not be written ("无法写入文件“path”（reason）…").
inline constexpr char kWriteFailedBefore[] = "无法写入文件“";
inline constexpr char kWriteFailedMiddle[] = "”（";
inline constexpr char kWriteFailedAfter[] = "）。已经保存的设置保持不变，其余设置没有保存。";
inline constexpr char kWriteFailedNotFound[] = "文件或文件夹不存在";
inline constexpr char kWriteFailedAccessDenied[] = "文件是只读的，或正被其他程序使用";
inline constexpr char kWriteFailedDiskFull[] = "磁盘已满";
inline constexpr char kWriteFailedEncoding[] = "其中有系统编码无法保存的文字";
inline constexpr char kWriteFailedInvalid[] = "内容中有不能写入的换行等字符";
inline constexpr char kWriteFailedOther[] = "写入失败";
// After the old file was moved away and the new one could not take its place.
inline constexpr char kWriteKeptAtBefore[] = "文件的新内容保存在“";
inline constexpr char kWriteKeptAtAfter[] = "”，请手动改名为原文件名。";
// A changed directive that httpd.conf does not contain (names between).
inline constexpr char kDirectivesMissingBefore[] = "设置已保存，但httpd.conf中没有";
inline constexpr char kDirectivesMissingAfter[] = "指令，相应的设置不会生效（程序不会自动添加）。";

// Apache settings dialog.
inline constexpr char kApacheCaption[] = "Apache设置";
inline constexpr char kApachePort[] = "端口：";
inline constexpr char kApacheRoot[] = "网站目录：";
inline constexpr char kApacheName[] = "网站名称：";
inline constexpr char kApacheAdmin[] = "站长信箱：";
inline constexpr char kApacheIndex[] = "默认首页：";
inline constexpr char kBrowse[] = "浏览";
inline constexpr char kOk[] = "确定";
inline constexpr char kCancel[] = "取消";
inline constexpr char kChooseRoot[] = "请选择网站的目录";
inline constexpr char kRootMissing[] = "网站的目录不存在！";
inline constexpr char kApachePortNotNumber[] = "Apache端口请填数字！";
inline constexpr char kApachePortNotPositive[] = "Apache端口请填正整数！";
inline constexpr char kApacheDone[] = "设置成功，重起Apache生效。";

// PHP settings dialog.
inline constexpr char kPhpCaption[] = "PHP设置";
inline constexpr char kPhpRegister[] = "全局变量：";
inline constexpr char kPhpDisplay[] = "错误显示：";
inline constexpr char kPhpSafe[] = "安全模式：";
inline constexpr char kPhpBuffer[] = "输出缓存：";
inline constexpr char kPhpShort[] = "开始标志缩写：";
inline constexpr char kPhpMaxTime[] = "脚本运行最长时间：";
inline constexpr char kPhpSeconds[] = "秒";
inline constexpr char kPhpUpload[] = "上传文件的最大限制：";
inline constexpr char kPhpMegabytes[] = "M";
inline constexpr char kOn[] = "On";
inline constexpr char kOff[] = "Off";
inline constexpr char kMaxTimeNotNumber[] = "最长时间请填数字！";
inline constexpr char kMaxTimeNotPositive[] = "最长时间请填正整数！";
inline constexpr char kUploadNotNumber[] = "上传文件的大小请填数字！";
inline constexpr char kUploadNotPositive[] = "上传文件的大小请填正整数！";
inline constexpr char kPhpDone[] = "设置成功，重起Apache生效。";

// MySQL settings dialog and the root password change.
inline constexpr char kMySQLCaption[] = "MySQL设置";
inline constexpr char kMySQLPort[] = "端口：";
inline constexpr char kMySQLConnections[] = "最大连接数：";
inline constexpr char kMySQLCharacterSet[] = "字符集：";
inline constexpr char kMySQLEngine[] = "数据库引擎：";
inline constexpr char kMySQLPasswordFrame[] = "修改MySQL密码";
inline constexpr char kMySQLOldPassword[] = "原密码：";
inline constexpr char kMySQLNewPassword[] = "新密码：";
inline constexpr char kMySQLDefaultPassword[] = "Tellurix默认密码为lumo";
inline constexpr char kMySQLPortNotNumber[] = "MySQL端口请填数字！";
inline constexpr char kMySQLPortNotPositive[] = "MySQL端口请填正整数！";
inline constexpr char kConnectionsNotNumber[] = "MySQL最大连接数请填数字！";
inline constexpr char kConnectionsNotPositive[] = "MySQL最大连接数请填正整数！";
inline constexpr char kMySQLDone[] = "设置成功，重起MSQL生效。";
inline constexpr char kConfirmPasswordChange[] = "你确定要修改密码？？";
inline constexpr char kPasswordChanged1[] = "MySQL密码已经修改！";
inline constexpr char kPasswordChanged2[] = "接下来，请输入新密码，测试一下密码是否修改成功。";
inline constexpr char kPasswordChanged3[] = "请修改phpMyAdmin配置文件,否则phpMyAdmin无法连接MySQL";
// mysqladmin failed: what it printed follows, or its exit code between the two.
inline constexpr char kNewPasswordEmpty[] = "新密码不能为空。";
inline constexpr char kPasswordNotChanged[] = "MySQL密码没有修改：";
inline constexpr char kPasswordToolExitCodeBefore[] = "mysqladmin的退出代码为";
inline constexpr char kPasswordToolExitCodeAfter[] = "。";
inline constexpr char kPasswordToolTimedOut[] = "mysqladmin在30秒内没有结束，已被终止。MySQL密码可能没有修改。";

// Site manager.
inline constexpr char kSiteManagerCaption[] = "站点管理";
inline constexpr char kSiteExampleLabel[] = "示例";
inline constexpr char kSiteCopyHint[] = "请复制示例内容填到下面的框中做相应修改后保存";
inline constexpr char kSave[] = "保存";
inline constexpr char kSiteSaved[] = "站点信息已保存，重起Apache生效。";
// The example block (six lines, no break after the last) and its explanation.
inline constexpr char kSiteExample[] =
    "<VirtualHost *:80>\r\n"
    "    ServerAdmin me@site.example\r\n"
    "    DocumentRoot \"D:/www\"\r\n"
    "    ServerName www.site.example\r\n"
    "    ServerAlias site.example\r\n"
    "</VirtualHost>";
inline constexpr char kSiteExplanation[] =
    "说明：\r\n"
    "ServerAdmin 信箱\r\n"
    "DocumentRoot 站点目录\r\n"
    "ServerName 域名\r\n"
    "ServerAlias 域名别名\r\n"
    "多站点请重复示例内容";
// vhosts.conf could not be read when the dialog opened ("无法读取文件“path”（reason）…").
inline constexpr char kSiteReadFailedBefore[] = "无法读取文件“";
inline constexpr char kSiteReadFailedMiddle[] = "”（";
inline constexpr char kSiteReadFailedAfter[] = "）。为免覆盖文件原有的内容，这次不能保存。";
inline constexpr char kSiteReadFailedFolder[] = "这是一个文件夹";
inline constexpr char kSiteReadFailedAccessDenied[] = "没有读取的权限，或正被其他程序使用";
inline constexpr char kSiteReadFailedOther[] = "读取失败";
// vhosts.conf holds bytes that are neither the system's code page nor UTF-8 (path between).
inline constexpr char kSiteNotTextBefore[] = "文件“";
inline constexpr char kSiteNotTextAfter[] =
    "”既不是系统编码的文本，也不是UTF-8文本，无法在这里编辑。为免损坏文件，这次不能保存。";
// The editor could not hold the whole file (path between).
inline constexpr char kSiteTooLongBefore[] = "文件“";
inline constexpr char kSiteTooLongAfter[] = "”的内容不能完整地显示在编辑框中。为免丢失内容，这次不能保存。";
// About dialog.
inline constexpr char kAboutCaption[] = "About...";
inline constexpr char kAboutDescription[] = "    此程序仅适用于Tellurix，便于管理Apache及MySQL服务。";
inline constexpr char kAboutSupport[] = "支持Tellurix";
inline constexpr char kAboutCopyright[] = "© 2026 Tellurix 开发组";
// A step of the "支持Tellurix" link that failed; the steps after it are not run.
inline constexpr char kShortcutNoShell[] = "无法创建Windows脚本宿主的wscript.shell对象，没有在桌面上创建快捷方式。";
inline constexpr char kShortcutNoDesktop[] = "无法从注册表读取桌面文件夹的位置，没有在桌面上创建快捷方式。";
inline constexpr char kShortcutNotSavedBefore[] = "无法保存桌面快捷方式“";  // the shortcut's path follows
inline constexpr char kShortcutNotSavedAfter[] = "”，后面的快捷方式没有创建，网站也没有打开。";
inline constexpr char kSiteNotOpenedBefore[] = "桌面快捷方式已经创建，但无法打开网站：无法运行命令“";  // the command line follows
inline constexpr char kSiteNotOpenedAfter[] = "”。";

// Popup menu captions.
inline constexpr char kMenuPhpSet[] = "PHP 设置";
inline constexpr char kMenuApacheSet[] = "Apache 设置";
inline constexpr char kMenuMySQLSet[] = "MySQL 设置";
inline constexpr char kMenuConfigFile[] = "配置文件";
inline constexpr char kMenuPhpIni[] = "php-ini";
inline constexpr char kMenuHttpdConf[] = "httpd-conf";
inline constexpr char kMenuMySQLIni[] = "MySQL-ini";
inline constexpr char kMenuPhpMyAdminInc[] = "phpMyAdmin-inc";
inline constexpr char kMenuApacheService[] = "Apache 服务";
inline constexpr char kMenuMySQLService[] = "MySQL 服务";
inline constexpr char kMenuServiceControl[] = "系统服务管理";
inline constexpr char kMenuPhpMyAdmin[] = "phpMyAdmin";
inline constexpr char kMenuMySQLConsole[] = "MySQL Console";
inline constexpr char kMenuHomePage[] = "My HomePage";
inline constexpr char kMenuWwwRoot[] = "WWW-root";
inline constexpr char kMenuMySQLData[] = "MySQL Data";
inline constexpr char kMenuApacheLog[] = "Apache log";
inline constexpr char kMenuUpdate[] = "Update(更新)...";
inline constexpr char kMenuAboutFile[] = "About(关于) ...";
inline constexpr char kMenuAboutFilez[] = "About(关于)...";
inline constexpr char kMenuHideMe[] = "Hide Me (隐藏)";
inline constexpr char kMenuShowMe[] = "Show Me (显示)";
inline constexpr char kMenuQuitFile[] = "Quit (退出)";
inline constexpr char kMenuQuitFilez[] = "Quit(退出)";
inline constexpr char kMenuPhpInfo[] = "phpinfo";

// Rescuing a damaged MySQL data folder as SQL files, and rebuilding it from them
// (servers/data_rescue.h). "{}" is filled in.
inline constexpr char kRescueQuestion[] = "是否尝试以恢复模式启动MySQL，把每个数据库导出为SQL文件？";
inline constexpr char kRescueSaved[] = "救出了{}个数据库、{}张表，保存在：{}";
inline constexpr char kRescuePartial[] = "只救出了部分数据的表：";
inline constexpr char kRescuePartialRows[] = "{}（{}行）";
inline constexpr char kRescueLost[] = "没有救出的表：";
inline constexpr char kRescueLostDatabases[] = "没有救出的数据库：";
inline constexpr char kRescueListSeparator[] = ", ";
inline constexpr char kRescueNothing[] = "没有救出数据：MySQL在恢复模式下也无法启动。数据文件夹的完整副本在：{}";
inline constexpr char kRescueNoFolder[] = "无法建立保存救出数据的文件夹：{}";
inline constexpr char kRescueCancelled[] = "救出已取消，已经导出的文件保存在：{}";
inline constexpr char kRescueNotesNotWritten[] = "无法写入说明文件：{}";
// What the rescue is doing now.
inline constexpr char kRescueStarting[] = "正在以恢复模式{}（innodb_force_recovery={}）启动MySQL…";
inline constexpr char kRescueNotServing[] = "MySQL在恢复模式{}下没有启动。";
inline constexpr char kRescueDumping[] = "正在导出数据库{}…";
inline constexpr char kRescueByTable[] = "数据库{}不能完整导出，改为逐表导出…";
inline constexpr char kRescueBackPart[] = "表{}只导出了一部分，正在从另一端读出损坏处之后的数据…";
inline constexpr char kRescueRestarting[] = "MySQL在导出{}时停止了，正在以同一恢复模式重新启动…";
inline constexpr char kRescueStopping[] = "正在关闭恢复模式下的MySQL…";
// 说明.txt in the rescue folder.
inline constexpr char kRescueNotesName[] = "说明.txt";
inline constexpr char kRescueNotesTitle[] = "MySQL数据救出说明";
inline constexpr char kRescueNotesTime[] = "救出时间：{}";
inline constexpr char kRescueNotesData[] = "数据文件夹：{}";
inline constexpr char kRescueNotesCopy[] = "数据文件夹的完整副本：{}";
inline constexpr char kRescueNotesLevel[] = "MySQL在恢复模式{}（innodb_force_recovery={}）下导出了这些数据。";
inline constexpr char kRescueNotesNoLevel[] = "MySQL在恢复模式1、2、3下都没有启动，服务器的输出见本文件夹中的mysqld-恢复模式*.txt。";
inline constexpr char kRescueNotesFiles[] = "文件和其中的数据行数：";
inline constexpr char kRescueNotesFile[] = "{}：{}张表，{}行";
inline constexpr char kRescueNotesCreateDatabase[] = "{}：数据库{}的建库语句";
inline constexpr char kRescueNotesFront[] = "{}：表{}损坏处之前的数据，{}行";
inline constexpr char kRescueNotesBack[] = "{}：表{}损坏处之后的数据（从主键的另一端读出），{}行";
inline constexpr char kRescueNotesErrors[] = "导出时的错误：";
inline constexpr char kRescueNotesError[] = "{}：{}";
inline constexpr char kRescueNotesOrder[] =
    "用这些文件重建时，先导入mysql.sql（账户和密码），再按上面的顺序导入其他文件；"
    "逐表导出的文件要选中所属的数据库再导入，同一张表先导入“前段”，再导入“后段”。";
// Why a program did not do its work.
inline constexpr char kRescueCannotRun[] = "无法运行{}";
inline constexpr char kRescueTimedOut[] = "{}在限定的时间内没有结束";
inline constexpr char kRescueExitCode[] = "{}的退出代码是{}";
inline constexpr char kRescueNotRestarted[] = "MySQL停止后无法在同一恢复模式下重新启动";
// The rebuild.
inline constexpr char kRebuildQuestion[] = "是否用救出的数据重建MySQL的数据文件夹？原来的数据文件夹会改名保留。";
inline constexpr char kRebuildNotOffered[] =
    "没有完整救出mysql数据库（账户和密码），不能用救出的数据重建数据文件夹。";
inline constexpr char kRebuildDone[] = "已用救出的数据重建了MySQL的数据文件夹。原来的数据文件夹改名为：{}";
inline constexpr char kRebuildRenameFailed[] =
    "重建没有完成：无法把数据文件夹改名为“{}”，请先停止MySQL服务，并关闭使用这个文件夹的程序。";
inline constexpr char kRebuildFolderFailed[] = "重建没有完成：无法建立新的数据文件夹：{}";
inline constexpr char kRebuildInstallFailed[] = "重建没有完成：没能建立新的数据文件夹（{}）。";
inline constexpr char kRebuildStartFailed[] = "重建没有完成：MySQL无法在新的数据文件夹上启动，服务器的输出见：{}";
inline constexpr char kRebuildLoadFailed[] = "重建没有完成：导入数据库{}（文件{}）时出错：{}";
inline constexpr char kRebuildCancelled[] = "重建已取消。";
inline constexpr char kRebuildKept[] = "原来的数据文件夹保存在：{}，救出的文件保存在：{}，数据文件夹的完整副本在：{}";
inline constexpr char kRebuildLoading[] = "正在导入{}…";

}  // namespace text
