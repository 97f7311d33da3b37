// What the panel reads in a server's error log after a failed start: where the
// log is, the new part of it, the line that names the cause, and the known causes.
#include <gtest/gtest.h>

#include "servers/server_log.h"

namespace tellurix {
namespace {

TEST(ServerLog, WhereEachServerWritesItsErrors) {
  const struct {
    const char* httpdConf;
    const char* log;  // nullptr: nothing to read
  } apache[] = {
      {"ServerRoot \"C:/T/Apache2\"\r\n", "C:\\T\\Apache2\\logs\\error.log"},
      {"ErrorLog logs/error.log\r\n", "C:\\T\\Apache2\\logs\\error.log"},
      {"#ErrorLog x.log\r\n  ErrorLog \"D:/日志/apache.log\"\r\n", "D:\\日志\\apache.log"},
      {"ErrorLogFormat \"[%t] %M\"\nErrorLog \"logs/a b.log\"\n", "C:\\T\\Apache2\\logs\\a b.log"},
      {"<VirtualHost *:80>\n ErrorLog logs/site.log\n</VirtualHost>\nErrorLog logs/main.log\n",
       "C:\\T\\Apache2\\logs\\main.log"},
      {"ErrorLog \"|bin/rotatelogs.exe logs/error.%Y.log 86400\"\n", nullptr},
      {"errorlog syslog:local7\n", nullptr},
  };
  for (const auto& row : apache) {
    EXPECT_EQ(ApacheErrorLog("C:\\T", row.httpdConf).value_or("none"), row.log ? row.log : "none") << row.httpdConf;
  }
  const std::pair<const char*, const char*> datadirs[] = {
      {"", "C:\\T\\MySQL\\data"},
      {"\"D:/MySQL Data/\"", "D:\\MySQL Data"},
      {"data2", "C:\\T\\MySQL\\data2"},
  };
  for (const auto& [datadir, folder] : datadirs) EXPECT_EQ(MySQLDataFolder("C:\\T", datadir), folder) << datadir;
  const struct {
    const char* logError;
    const char* log;
  } mysql[] = {
      {"", "none"},
      {"  ", "none"},
      {"mysql.err", "C:\\T\\MySQL\\data\\mysql.err"},
      {"\"E:/logs/mysqld.log\"", "E:\\logs\\mysqld.log"},
      {"errors", "C:\\T\\MySQL\\data\\errors.err"},  // the server adds the extension
  };
  for (const auto& row : mysql) {
    EXPECT_EQ(MySQLConfiguredErrorLog("C:\\T\\MySQL\\data", row.logError).value_or("none"), row.log);
  }
  // Without log-error, the server's host name (gethostname: the DNS host name as
  // written, never the upper-case NetBIOS name) up to its first ".".
  const std::pair<const char*, const char*> hosts[] = {
      {"dev-pc", "C:\\T\\MySQL\\data\\dev-pc.err"},
      {"Zhang-San-Workstation-2026", "C:\\T\\MySQL\\data\\Zhang-San-Workstation-2026.err"},
      {"web01.corp.example.cn", "C:\\T\\MySQL\\data\\web01.err"},
      {"张三的电脑", "C:\\T\\MySQL\\data\\张三的电脑.err"},
      {"", "C:\\T\\MySQL\\data\\mysql.err"},
  };
  for (const auto& [host, log] : hosts) EXPECT_EQ(MySQLDefaultErrorLog("C:\\T\\MySQL\\data", host), log) << host;
}

TEST(ServerLog, OnlyWhatTheServerWroteSinceTheCommandBegan) {
  const struct {
    std::optional<std::uint64_t> before;
    std::uint64_t now;
    LogSpan span;
  } rows[] = {
      {100, 250, {100, 150, false}},
      {100, 100, {100, 0, false}},               // it wrote nothing
      {std::nullopt, 40, {0, 40, false}},        // a new file
      {500, 40, {0, 40, false}},                 // it shrank: all of it is new
      {0, 70000, {70000 - 65536, 65536, true}},  // the last 64 KB
      {10, 10 + 65537, {10 + 1, 65536, true}},
  };
  for (const auto& row : rows) {
    const LogSpan span = NewLogSpan(row.before, row.now);
    EXPECT_EQ(span.offset, row.span.offset) << row.now;
    EXPECT_EQ(span.length, row.span.length) << row.now;
    EXPECT_EQ(span.cut, row.span.cut) << row.now;
  }
  // UTF-8 stays; the ANSI code page's bytes are decoded; a cut span starts at a whole line.
  EXPECT_EQ(LogText("[error] 端口\r\n", false), "[error] 端口\r\n");
  EXPECT_EQ(LogText("[error] \xB6\xCB\xBF\xDA\r\n", false), "[error] 端口\r\n");
  EXPECT_EQ(LogText("\xBF\xDA half\r\n[error] \xB6\xCB\xBF\xDA\n", true), "[error] 端口\n");
  EXPECT_EQ(LogText("ok \xB6\xCB\n\xFF\xFF bad\n", false), "ok 端\n\xEF\xBF\xBD\xEF\xBF\xBD bad\n");
}

TEST(ServerLog, TheFirstErrorIsTheCause) {
  const std::string long161(161, 'x');
  const struct {
    Service service;
    std::string log;
    std::string line;  // empty: none
  } rows[] = {
      {Service::Apache2,
       "[Mon Dec 07 10:00:00 2026] [notice] Apache/2.2.25 (Win32) configured\r\n"
       "[Mon Dec 07 10:00:01 2026] [warn] NameVirtualHost *:80 has no VirtualHosts\r\n"
       "[Mon Dec 07 10:00:01 2026] [crit] (OS 10048)通常每个套接字地址(协议/网络地址/端口)只允许使用一次。  : "
       "make_sock: could not bind to address 0.0.0.0:80\r\n"
       "[Mon Dec 07 10:00:01 2026] [alert] no listening sockets available, shutting down\r\n",
       "Apache错误日志：(OS 10048)通常每个套接字地址(协议/网络地址/端口)只允许使用一次。  : make_sock: could not "
       "bind to address 0.0.0.0:80...    "},
      {Service::Apache2,
       "[Mon Dec 07 10:00:00.123456 2026] [mpm_winnt:notice] [pid 4312:tid 380] AH00455: Apache/2.4.58 configured\n"
       "[Mon Dec 07 10:00:00.124001 2026] [core:error] [pid 4312:tid 380] (OS 10013)An attempt was made to access a "
       "socket in a way forbidden by its access permissions.  : AH00072: make_sock: could not bind to address "
       "[::]:443\n",
       "Apache错误日志：(OS 10013)An attempt was made to access a socket in a way forbidden by its access "
       "permissions.  : AH00072: make_sock: could not bind to address [::]:443...    "},
      {Service::Apache2, "[Mon Dec 07 10:00:00 2026] [:emerg] [pid 1] AH00020: x\n",
       "Apache错误日志：AH00020: x...    "},
      {Service::Apache2, "[Mon Dec 07 10:00:00 2026] [error] " + long161 + "\n",
       "Apache错误日志：" + std::string(160, 'x') + "…...    "},
      {Service::Apache2, "[Mon Dec 07 10:00:00 2026] [warn] (OS 10048) error text\nerror [error]\n", ""},
      {Service::MySQL,
       "101207 10:00:00 [Note] Plugin 'FEDERATED' is disabled.\n"
       "101207 10:00:01 [ERROR] Can't start server: Bind on TCP/IP port: No such file or directory\n"
       "101207 10:00:01 [ERROR] Do you already have another mysqld server running on port: 3306 ?\n",
       "MySQL错误日志：Can't start server: Bind on TCP/IP port: No such file or directory...    "},
      {Service::MySQL, "2026-12-07T10:00:00.000000Z 0 [ERROR] [MY-000067] [Server] unknown variable 'innodb_fast=1'.\n",
       "MySQL错误日志：unknown variable 'innodb_fast=1'....    "},
      {Service::MySQL, "InnoDB: Unable to lock ./ibdata1, error: 32\n", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ErrorLogLine(row.service, row.log).value_or(""), row.line) << row.log;
  }
  // Cut after 160 characters, not bytes.
  std::string chinese;
  for (int i = 0; i < 170; ++i) chinese += "错";
  const std::string line = ErrorLogLine(Service::MySQL, "[ERROR] " + chinese).value();
  EXPECT_EQ(line, "MySQL错误日志：" + chinese.substr(0, 160 * 3) + "…...    ");
}

TEST(ServerLog, KnownCausesInPlainWords) {
  const std::string kDamaged = "MySQL的数据文件可能已损坏，修复之前请先备份“C:\\T\\MySQL\\data”...    ";
  const struct {
    Service service;
    const char* said;
    bool portTaken;
    unsigned port;
    std::string line;
  } rows[] = {
      // Apache, in English, Chinese (as Windows writes it) and from net's output.
      {Service::Apache2,
       "[crit] (OS 10048)Only one usage of each socket address (protocol/network address/port) is normally "
       "permitted.  : make_sock: could not bind to address 0.0.0.0:8088",
       true, 8088, ""},
      {Service::Apache2, "(OS 10048)通常每个套接字地址(协议/网络地址/端口)只允许使用一次。  : AH00072: make_sock", true,
       80, ""},
      {Service::Apache2,
       "[core:error] (OS 10013)以一种访问权限不允许的方式做了一个访问套接字的尝试。  : AH00072: make_sock: could not "
       "bind to address [::]:443",
       false, 443, "端口443被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），请换用其他端口...    "},
      {Service::Apache2, "An attempt was made to access a socket in a way forbidden by its access permissions.", false,
       80, "端口80被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），请换用其他端口...    "},
      {Service::Apache2,
       "httpd.exe: Syntax error on line 128 of C:/T/Apache2/conf/httpd.conf: Cannot load "
       "C:/T/PHP5/php5apache2_2.dll into server: 找不到指定的模块。",
       false, 80, "Apache无法加载模块：C:/T/PHP5/php5apache2_2.dll...    "},
      // MySQL: the port is named by the second line of the failure.
      {Service::MySQL,
       "101207 10:00:01 [ERROR] Can't start server: Bind on TCP/IP port: No such file or directory\n"
       "101207 10:00:01 [ERROR] Do you already have another mysqld server running on port: 3307 ?",
       true, 3307, ""},
      {Service::MySQL, "[ERROR] Can't start server: Bind on TCP/IP port: Address already in use", true, 3306, ""},
      {Service::MySQL, "101207 10:00:00 [ERROR] C:\\T\\MySQL\\bin\\mysqld-nt.exe: unknown variable 'key_bufer=16M'",
       false, 3306, "my.ini中有MySQL不认识的设置：key_bufer...    "},
      {Service::MySQL, "[ERROR] mysqld-nt: unknown option '--skip-bdbx'", false, 3306,
       "my.ini中有MySQL不认识的设置：skip-bdbx...    "},
      {Service::MySQL, "InnoDB: Error: tried to read 16384 bytes at offset 0 0.\nMalformed log record", false, 3306,
       kDamaged},
      {Service::MySQL, "[ERROR] Aria recovery failed. Please run aria_chk -r on all Aria tables", false, 3306,
       kDamaged},
      {Service::MySQL, "[ERROR] Unknown/unsupported storage engine: InnoDB", false, 3306, kDamaged},
      // Apache's configuration errors, as 2.4 and 2.2 word them (2.2 names no folder).
      {Service::Apache2, "AH00526: Syntax error on line 41 of C:/T/Apache2/conf/httpd.conf:\r\n"
       "DocumentRoot 'C:/T/www2' is not a directory, or is not readable", false, 80, "网站目录不存在：C:/T/www2...    "},
      {Service::Apache2, "Syntax error on line 41 of C:/T/Apache2/conf/httpd.conf:\nDocumentRoot must be a directory",
       false, 80, "网站目录不存在：D:\\www...    "},
      {Service::Apache2, "AH00526: Syntax error on line 12 of C:/T/Apache2/conf/extra/httpd-ssl.conf:\n"
       "SSLCertificateFile: file 'C:/T/Apache2/conf/server.crt' does not exist or is empty", false, 80,
       "SSL证书文件不存在：C:/T/Apache2/conf/server.crt...    "},
      {Service::Apache2, "(OS 5)拒绝访问。  : AH00091: httpd.exe: could not open error log file C:/T/Apache2/logs/error.log.\n"
       "AH00015: Unable to open logs", false, 80, "Apache无法打开错误日志文件：C:/T/Apache2/logs/error.log...    "},
      // MySQL, as 5.0, 5.1, 5.5 and newer servers word it; the port is the one the
      // "running on port" line names.
      {Service::MySQL, "[ERROR] Can't start server: Bind on TCP/IP port. Got error: 10013: An attempt was made to "
       "access a socket in a way forbidden by its access permissions.\n[ERROR] Do you already have another mysqld "
       "server running on port: 3310 ?", false, 3310,
       "端口3310被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），请换用其他端口...    "},
      {Service::MySQL, "2026-12-07 15:09:54 0 [ERROR] Can't start server: Bind on TCP/IP port. Got error: 13: "
       "Permission denied\n2026-12-07 15:09:54 0 [ERROR] Do you already have another server running on port: 999 ?",
       false, 999, "端口999被系统禁止使用（常见原因：Hyper-V、WSL或Docker保留了这个端口），请换用其他端口...    "},
      {Service::MySQL, "Can't start server: Bind on TCP/IP port: No error\n061231 12:00:00 [ERROR] Do you already "
       "have another mysqld server running on port: 3308 ?", true, 3308, ""},
      {Service::MySQL, "2026-12-07 15:09:54 0 [ERROR] Do you already have another server running on port: 3306 ?", true,
       3306, ""},
      {Service::MySQL, "InnoDB: Operating system error number 32 in a file operation.\nInnoDB: The error means that "
       "another program is using InnoDB's files.", false, 3306,
       "MySQL的数据文件正被其他程序使用（另一个MySQL或杀毒软件？）...    "},
      {Service::MySQL, "[ERROR] mysqld: Can't lock aria control file '/var/lib/mysql/aria_log_control' for exclusive "
       "use, error: 11. Will retry for 30 seconds", false, 3306,
       "MySQL的数据文件正被其他程序使用（另一个MySQL或杀毒软件？）...    "},
      {Service::MySQL, "InnoDB: Error: log file .\\ib_logfile0 is of different size 0 10485760 bytes\n"
       "InnoDB: than specified in the .cnf file 0 5242880 bytes!", false, 3306,
       "my.ini中的innodb_log_file_size与现有日志文件的大小不符，请改回原来的值...    "},
      // The most specific wins: an engine that is "not available" follows any InnoDB failure.
      {Service::MySQL, "[ERROR] Unknown/unsupported storage engine: INNODB\nInnoDB: Unable to lock ./ibdata1, error: 11",
       false, 3306, "MySQL的数据文件正被其他程序使用（另一个MySQL或杀毒软件？）...    "},
      {Service::MySQL, "[ERROR] Unknown/unsupported storage engine: innodb", false, 3306, kDamaged},
      {Service::MySQL, "[ERROR] Unknown/unsupported table type: INNODB", false, 3306, kDamaged},
      {Service::MySQL, "[ERROR] Default storage engine (InnoDB) is not available", false, 3306, kDamaged},
      {Service::MySQL, "InnoDB: Database page corruption on disk or a failed\nInnoDB: Page read from tablespace is "
       "corrupted.", false, 3306, kDamaged},
  };
  for (const auto& row : rows) {
    const unsigned serverPort = row.service == Service::Apache2 ? 80 : 3306;
    const std::optional<KnownCause> cause = RecognizeCause(row.service, row.said, {serverPort, "C:\\T", "D:\\www", ""});
    ASSERT_TRUE(cause.has_value()) << row.said;
    EXPECT_EQ(cause->portTaken, row.portTaken) << row.said;
    EXPECT_EQ(cause->portBlocked, row.portTaken || row.line.rfind("端口", 0) == 0) << row.said;
    EXPECT_EQ(cause->port, row.port) << row.said;
    EXPECT_EQ(cause->line, row.line) << row.said;
  }
  // What is no known cause, or another server's.
  for (const auto& [service, said] : std::vector<std::pair<Service, const char*>>{
           {Service::Apache2, "服务请求超时。"},
           {Service::Apache2, "Can't start server: Bind on TCP/IP port"},
           {Service::MySQL, "(OS 10048) make_sock"},
           {Service::Apache2, "Cannot load into server"},
           {Service::MySQL, "unknown variable ''"},
       }) {
    EXPECT_EQ(RecognizeCause(service, said, {80, "C:\\T", "", ""}).has_value(), false) << said;
  }
}

// httpd.exe -t's whole report, in 2.4's and 2.2's words: the directive Apache
// does not know in the file and line Apache names, and a module of the other bitness.
TEST(ServerLog, ApacheConfigurationReportsInPlainWords) {
  const char kUnknown[] = "（拼写错误，或者提供它的模块没有加载）...    ";
  const char kBitness[] = "（它与Apache的位数不同，比如64位的PHP配32位的Apache）...    ";
  const struct {
    const char* report;
    std::string line;  // empty: no known cause
  } rows[] = {
      {"AH00526: Syntax error on line 3 of C:/Tellurix/Apache2/conf/vhosts.conf:\r\n"
       "Invalid command 'Servername', perhaps misspelled or defined by a module not included in the server "
       "configuration\r\n",
       std::string("vhosts.conf第3行：Apache不认识指令Servername") + kUnknown},
      {"Syntax error on line 41 of C:/Tellurix/Apache2/conf/httpd.conf:\n"
       "Invalid command 'Listn', perhaps misspelled or defined by a module not included in the server configuration\n",
       std::string("httpd.conf第41行：Apache不认识指令Listn") + kUnknown},
      // Through the event log, after the warning of a start without ServerName, in a
      // folder named in Chinese, with the empty line some consoles show.
      {"AH00558: httpd.exe: Could not reliably determine the server's fully qualified domain name, using fe80::1%12. "
       "Set the 'ServerName' directive globally to suppress this message\n"
       "AH00526: Syntax error on line 17 of D:/新建文件夹/Tellurix/Apache2/conf/extra/httpd-ssl.conf:\n\n"
       "Invalid command 'SSLEngine', perhaps misspelled or defined by a module not included in the server "
       "configuration\n",
       std::string("httpd-ssl.conf第17行：Apache不认识指令SSLEngine") + kUnknown},
      // A directive in .htaccess is a request's error, not the configuration's: no line says where.
      {"[Mon Dec 07 10:00:00.000001 2026] [core:alert] [pid 10:tid 1] [client 127.0.0.1:35076] C:/www/.htaccess: "
       "Invalid command 'php_value', perhaps misspelled or defined by a module not included in the server "
       "configuration\n",
       ""},
      {"httpd.exe: Syntax error on line 128 of C:/T/Apache2/conf/httpd.conf: Cannot load C:/T/PHP5/php5apache2_2.dll "
       "into server: %1 is not a valid Win32 application.\n",
       std::string("Apache无法加载模块：C:/T/PHP5/php5apache2_2.dll") + kBitness},
      {"httpd.exe: Syntax error on line 181 of C:/T/Apache2/conf/httpd.conf: Cannot load C:/T/PHP7/php7apache2_4.dll "
       "into server: %1 不是有效的 Win32 应用程序。\r\n",
       std::string("Apache无法加载模块：C:/T/PHP7/php7apache2_4.dll") + kBitness},
      // Any other reason stays the plain line.
      {"httpd.exe: Syntax error on line 128 of C:/T/Apache2/conf/httpd.conf: Cannot load C:/T/PHP5/php5apache2_2.dll "
       "into server: 找不到指定的模块。\n",
       "Apache无法加载模块：C:/T/PHP5/php5apache2_2.dll...    "},
  };
  for (const auto& row : rows) {
    const std::optional<KnownCause> cause = RecognizeCause(Service::Apache2, row.report, {80, "C:\\T"});
    EXPECT_EQ(cause ? cause->line : "", row.line) << row.report;
    if (cause) {
      EXPECT_FALSE(cause->portBlocked || cause->dataLocked || cause->damagedData) << row.report;
    }
  }
}

// MySQL's data: a setting that does not fit the files is no damage; the
// folder a line names is the one my.ini's datadir names; what the line means
// for the runner (no port move for locked files, the rescue for damaged data).
TEST(ServerLog, MySQLDataCausesNameTheirFolderAndKind) {
  const std::string kDamaged = "MySQL的数据文件可能已损坏，修复之前请先备份“D:\\MySQL Data”...    ";
  const std::string kLocked = "MySQL的数据文件正被其他程序使用（另一个MySQL或杀毒软件？）...    ";
  const std::string kPool = "my.ini中的innodb_buffer_pool_size太大，MySQL分配不到这么多内存，请改小...    ";
  const auto sizeLine = [](const char* file) {
    return std::string("my.ini中的innodb_data_file_path与现有的数据文件") + file + "的大小不符，请改回原来的值...    ";
  };
  enum Kind { Plain, Locked, Damaged };
  const struct {
    const char* said;
    std::string line;
    Kind kind;
  } rows[] = {
      // 5.0 and 5.1: the data file and my.ini disagree; the engine's failure follows.
      {"InnoDB: Error: data file .\\ibdata1 is of a different size\nInnoDB: 640 pages (rounded down to MB)\n"
       "InnoDB: than specified in the .cnf file 128 pages!\nInnoDB: Could not open or create data files.\n"
       "080808 12:00:00 [ERROR] Default storage engine (InnoDB) is not available\n",
       sizeLine(".\\ibdata1"), Plain},
      {"InnoDB: Error: auto-extending data file .\\ibdata1 is of a different size\n"
       "InnoDB: 640 pages (rounded down to MB) than specified in the .cnf file:\n"
       "InnoDB: initial 768 pages, max 0 (relevant if non-zero) pages!\n"
       "080808 12:00:00 [ERROR] Plugin 'InnoDB' init function returned error.\n",
       sizeLine(".\\ibdata1"), Plain},
      {"2026-12-07T10:00:00.000000Z 0 [ERROR] InnoDB: The innodb_system data file './ibdata1' is of a different size "
       "640 pages (rounded down to MB) than the 768 pages specified in the .cnf file!",
       sizeLine("./ibdata1"), Plain},
      // A file of 0 pages was emptied: that is damage, in every server's words.
      {"InnoDB: Error: data file .\\ibdata1 is of a different size\nInnoDB: 0 pages (rounded down to MB)\n"
       "InnoDB: than specified in the .cnf file 640 pages!\n"
       "080808 12:00:00 [ERROR] Plugin 'InnoDB' init function returned error.\n",
       kDamaged, Damaged},
      {"2018-06-08  7:59:41 140105323919296 [ERROR] InnoDB: auto-extending data file ./ibdata1 is of a different size 0 "
       "pages (rounded down to MB) than specified in the .cnf file: initial 768 pages, max 0 (relevant if non-zero) "
       "pages!",
       kDamaged, Damaged},
      {"[ERROR] InnoDB: The Auto-extending innodb_system data file './ibdata1' is of a different size 0 pages than "
       "specified in the .cnf file: initial 768 pages, max 0 (relevant if non-zero) pages!",
       kDamaged, Damaged},
      {"The Auto-extending data file './ibdata1' is of a different size 0 pages than specified by "
       "innodb_data_file_path",
       kDamaged, Damaged},
      // The buffer pool, in 5.0/5.1's and 5.5's words.
      {"InnoDB: Fatal error: cannot allocate the memory for the buffer pool\n"
       "080808 12:00:00 [ERROR] Default storage engine (InnoDB) is not available\n",
       kPool, Plain},
      {"131005 14:11:41 InnoDB: Initializing buffer pool, size = 2.0G\n"
       "131005 14:11:41 InnoDB: Fatal error: cannot allocate memory for the buffer pool\n"
       "131005 14:11:41 [ERROR] Plugin 'InnoDB' init function returned error.\n"
       "131005 14:11:41 [ERROR] Plugin 'InnoDB' registration as a STORAGE ENGINE failed.\n"
       "131005 14:11:41 [ERROR] Unknown/unsupported storage engine: InnoDB\n",
       kPool, Plain},
      // The system database: missing, or a table of it damaged.
      {"061231 12:00:00 [ERROR] Fatal error: Can't open and lock privilege tables: Table 'mysql.host' doesn't exist",
       "MySQL的数据文件夹中缺少系统数据库mysql：“D:\\MySQL Data\\mysql”...    ", Plain},
      {"080808 12:00:00 [ERROR] Fatal error: Can't open and lock privilege tables: Table 'host' is marked as crashed "
       "and should be repaired",
       "MySQL的系统数据库mysql中的表host已损坏...    ", Damaged},
      {"2020-04-13T07:15:24.539572Z 0 [ERROR] /usr/sbin/mysqld: Table './mysql/user' is marked as crashed and should be "
       "repaired\n2020-04-13T07:15:24.539771Z 0 [ERROR] Fatal error: Can't open and lock privilege tables: Table "
       "'./mysql/user' is marked as crashed and should be repaired",
       "MySQL的系统数据库mysql中的表user已损坏...    ", Damaged},
      {"2016-10-10 10:36:54 3755 [ERROR] Fatal error: Can't open and lock privilege tables: Table '.\\mysql\\db' is "
       "marked as crashed and last (automatic?) repair failed",
       "MySQL的系统数据库mysql中的表db已损坏...    ", Damaged},
      {"2026-12-07 10:00:00 0 [ERROR] Fatal error: Can't open and lock privilege tables: Index for table 'global_priv' "
       "is corrupt; try to repair it",
       "MySQL的系统数据库mysql中的表global_priv已损坏...    ", Damaged},
      {"InnoDB: Database page corruption on disk or a failed\nInnoDB: file read of page 7.", kDamaged, Damaged},
      {"InnoDB: Unable to lock .\\ibdata1, error: 32\nInnoDB: Operating system error number 32 in a file operation.\n"
       "[ERROR] Plugin 'InnoDB' init function returned error.",
       kLocked, Locked},
      {"[ERROR] mysqld: Can't lock aria control file 'C:\\T\\MySQL\\data\\aria_log_control' for exclusive use, error: "
       "13. Will retry for 30 seconds",
       kLocked, Locked},
  };
  for (const auto& row : rows) {
    const std::optional<KnownCause> cause = RecognizeCause(Service::MySQL, row.said, {3306, "C:\\T", "", "D:\\MySQL Data"});
    ASSERT_TRUE(cause.has_value()) << row.said;
    EXPECT_EQ(cause->line, row.line) << row.said;
    EXPECT_EQ(cause->dataLocked, row.kind == Locked) << row.said;
    EXPECT_EQ(cause->damagedData, row.kind == Damaged) << row.said;
    EXPECT_FALSE(cause->portBlocked) << row.said;
  }
}

// A start that succeeded, and the new part of MySQL's log tells of damaged data
// (MariaDB 10.x and MySQL 5.x): the table where the log names it.
TEST(ServerLog, DamageAfterAStartThatSucceeded) {
  const std::string kDamaged = "MySQL已经启动，但错误日志显示数据有损坏";
  const struct {
    const char* log;
    std::string line;  // empty: none
  } rows[] = {
      {"2026-12-07 10:00:05 0 [ERROR] InnoDB: Failed to read page 10 from file './shop/orders.ibd': Page read from "
       "tablespace is corrupted.\n",
       kDamaged + "：shop.orders...    "},
      {"2026-12-07 10:00:05 0 [ERROR] InnoDB: Failed to read file '.\\u690174784_kunzz\\j2stockedit_data.ibd' at offset "
       "255: Page read from tablespace is corrupted.\n",
       kDamaged + "：u690174784_kunzz.j2stockedit_data...    "},
      {"2026-12-07 10:00:05 0 [ERROR] mysqld.exe: Table '.\\shop\\orders' is marked as crashed and should be repaired\n"
       "2026-12-07 10:00:05 0 [Warning] Checking table:   '.\\shop\\orders'\n",
       kDamaged + "：shop.orders...    "},
      {"101207 10:00:05 [ERROR] C:\\T\\MySQL\\bin\\mysqld-nt.exe: Table './shop/orders' is marked as crashed and should "
       "be repaired\n",
       kDamaged + "：shop.orders...    "},
      {"101207 10:00:05 [ERROR] C:\\T\\MySQL\\bin\\mysqld-nt.exe: Table 'orders' is marked as crashed and should be "
       "repaired\n",
       kDamaged + "：orders...    "},
      {"2026-12-07 10:00:05 9 [ERROR] mysqld.exe: Index for table 'orders' is corrupt; try to repair it\n",
       kDamaged + "：orders...    "},
      {"2026-12-07 10:00:05 0 [ERROR] InnoDB: Database page corruption on disk or a failed read of file "
       "'./shop/orders.ibd' page [page id: space=5, page number=3]. You may have to recover from a backup.\n",
       kDamaged + "：shop.orders...    "},
      {"2026-12-07 10:00:05 0 [ERROR] InnoDB: Database page corruption on disk or a failed file read of tablespace "
       "shop/orders page [page id: space=5, page number=3]. You may have to recover from a backup.\n",
       kDamaged + "：shop.orders...    "},
      // 5.5 and 5.6 name the table in the page dump before their damage words.
      {"InnoDB: Page may be an index page where index id is 0 35\nInnoDB: (index \"PRIMARY\" of table "
       "\"shop\".\"orders\")\nInnoDB: Database page corruption on disk or a failed\nInnoDB: file read of page 694.\n"
       "InnoDB: You may have to recover from a backup.\n",
       kDamaged + "：shop.orders...    "},
      // InnoDB's own files and tables name no table of the user's.
      {"InnoDB: Page may be an index page where index id is 18446744069414584320\n"
       "InnoDB: (index \"CLUST_IND\" of table \"SYS_IBUF_TABLE\")\nInnoDB: Database page corruption on disk or a failed\n"
       "InnoDB: file read of page 694.\n",
       kDamaged + "...    "},
      {"2023-03-27 12:20:45 0 [ERROR] InnoDB: Database page corruption on disk or a failed read of file './ibdata1' page "
       "[page id: space=0, page number=214]. You may have to recover from a backup.\n",
       kDamaged + "...    "},
      {"[ERROR] InnoDB: Failed to read page 3 from file './/undo003': Page read from tablespace is corrupted.\n",
       kDamaged + "...    "},
      // No damage: a clean start, a full disk's temporary table, a failed engine.
      {"2026-12-07 10:00:05 0 [Note] mysqld.exe: ready for connections.\n", ""},
      {"2026-12-07 10:00:05 9 [ERROR] mysqld.exe: Index for table 'C:\\Windows\\TEMP\\#sql-temptable-1a2b-9-3' is "
       "corrupt; try to repair it\n",
       ""},
      {"101207 10:00:05 [ERROR] Plugin 'InnoDB' init function returned error.\n"
       "101207 10:00:05 [Note] C:\\T\\MySQL\\bin\\mysqld-nt.exe: ready for connections.\n",
       ""},
  };
  for (const auto& row : rows) EXPECT_EQ(DamageAfterStartLine(row.log).value_or(""), row.line) << row.log;
}

// What Apache said through the event log: the first error, past the warnings
// it prints at a start that goes on and the consequences of the error.
TEST(ServerLog, ApacheReportsTheErrorPastItsWarnings) {
  const std::string bind =
      "(OS 10048)通常每个套接字地址(协议/网络地址/端口)只允许使用一次。  : AH00072: make_sock: could not bind to "
      "address [::]:80";
  const char kServerName24[] =
      "AH00558: httpd.exe: Could not reliably determine the server's fully qualified domain name, using "
      "fe80::5de:9a1b:2c3d:4e5f%12. Set the 'ServerName' directive globally to suppress this message";
  const char kServerName22[] =
      "httpd.exe: Could not reliably determine the server's fully qualified domain name, using 192.168.1.5 for "
      "ServerName";
  const struct {
    std::vector<std::string> lines;
    std::string line;  // empty: none
  } rows[] = {
      {{"AH00451: no listening sockets available, shutting down", bind, "AH00015: Unable to open logs"}, bind},
      {{kServerName24, bind, "AH00451: no listening sockets available, shutting down"}, bind},
      {{kServerName22, "[Mon Dec 07 10:00:00 2026] [warn] NameVirtualHost *:80 has no VirtualHosts", bind}, bind},
      {{"AH00548: NameVirtualHost has no effect and will be removed in the next release "
        "C:/T/Apache2/conf/vhosts.conf:1",
        "AH00112: Warning: DocumentRoot [C:/T/www/gone] does not exist",
        "AH00526: Syntax error on line 3 of C:/T/Apache2/conf/vhosts.conf:"},
       "AH00526: Syntax error on line 3 of C:/T/Apache2/conf/vhosts.conf:"},
      {{"Warning: DocumentRoot [C:/T/www/gone] does not exist", "[Mon Dec 07 10:00:00 2026] [notice] Disabled use of "
        "AcceptEx() WinSock2 API", "[Mon Dec 07 10:00:00 2026] [crit] (OS 10013)x"},
       "[Mon Dec 07 10:00:00 2026] [crit] (OS 10013)x"},
      {{kServerName24, "AH00451: no listening sockets available, shutting down", "Unable to open logs"}, ""},
      {{std::string(170, 'x')}, std::string(160, 'x') + "…"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ApacheReportedLine(row.lines).value_or(""), row.line.empty() ? "" : "Apache报告：" + row.line + "...    ")
        << row.lines.front();
  }
}

}  // namespace
}  // namespace tellurix
