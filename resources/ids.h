// Identifiers of the main window's controls and popup-menu entries, named after
// the controls and entries themselves. Defined once here; the end-to-end tests
// address the running program through the same numbers.
#pragma once

namespace ids {

// Controls of the main window Form1.
constexpr int Frame1 = 1001;
constexpr int Label1 = 1002;
constexpr int la = 1003;
constexpr int Label2 = 1004;
constexpr int lm = 1005;
constexpr int Apache = 1006;
constexpr int starta = 1007;
constexpr int stopa = 1008;
constexpr int restaraCom = 1009;
constexpr int Frame3 = 1010;
constexpr int startm = 1011;
constexpr int stopm = 1012;
constexpr int restartmCom = 1013;
constexpr int Frame2 = 1014;
constexpr int List1 = 1015;
constexpr int zhanCom = 1016;
constexpr int Command1 = 1017;

// Entries of the popup menu `file` (opened by Command1).
constexpr int phpset = 2001;
constexpr int apcheset = 2002;
constexpr int mysqlset = 2003;
constexpr int phpini = 2004;
constexpr int httpdconf = 2005;
constexpr int mysqlini = 2006;
constexpr int phpmyadmininc = 2007;
constexpr int astart = 2008;
constexpr int astop = 2009;
constexpr int restarta = 2010;
constexpr int mstart = 2011;
constexpr int mstop = 2012;
constexpr int restartm = 2013;
constexpr int servicecontrol = 2014;
constexpr int zhan2 = 2015;
constexpr int phpmyadmin = 2016;
constexpr int mysqlconsole = 2017;
constexpr int homepage = 2018;
constexpr int wwwroot = 2019;
constexpr int mysqldata = 2020;
constexpr int apachelog = 2021;
constexpr int update = 2022;
constexpr int about = 2023;
constexpr int hideme = 2024;
constexpr int quit = 2025;

// Entries of the popup menu `filez` (opened by the tray icon).
constexpr int homepage2 = 2101;
constexpr int phpinfo = 2102;
constexpr int wwwroot2 = 2103;
constexpr int mysqldata2 = 2104;
constexpr int mysqlconsole2 = 2105;
constexpr int phpmyadmin2 = 2106;
constexpr int servicecontrol2 = 2107;
constexpr int mstart2 = 2108;
constexpr int mstop2 = 2109;
constexpr int restartm2 = 2110;
constexpr int astart2 = 2111;
constexpr int astop2 = 2112;
constexpr int restarta2 = 2113;
constexpr int zhan1 = 2114;
constexpr int phpini2 = 2115;
constexpr int httpdconf2 = 2116;
constexpr int mysqlini2 = 2117;
constexpr int phpmyadmininc2 = 2118;
constexpr int mysqlset2 = 2119;
constexpr int apcheset2 = 2120;
constexpr int phpset2 = 2121;
constexpr int about2 = 2122;
constexpr int showme = 2123;
constexpr int quit3 = 2124;

// Controls of the Apache settings dialog `fapache`.
namespace fapache {
constexpr int Frame1 = 3001;
constexpr int Label1 = 3002;
constexpr int listen = 3003;
constexpr int Label2 = 3004;
constexpr int root = 3005;
constexpr int Command3 = 3006;
constexpr int Label3 = 3007;
constexpr int sname = 3008;
constexpr int Label4 = 3009;
constexpr int admin = 3010;
constexpr int Label5 = 3011;
constexpr int index = 3012;
constexpr int Command2 = 3013;
constexpr int Command1 = 3014;
}  // namespace fapache

// Controls of the PHP settings dialog `fphp`.
namespace fphp {
constexpr int Frame1 = 3101;
constexpr int Label1 = 3102;
constexpr int register_ = 3103;  // `register`, a keyword in C++
constexpr int Label2 = 3104;
constexpr int display = 3105;
constexpr int Label3 = 3106;
constexpr int safe = 3107;
constexpr int Label4 = 3108;
constexpr int buffer = 3109;
constexpr int Label9 = 3110;
constexpr int short_ = 3111;  // `short`, a keyword in C++
constexpr int Label5 = 3112;
constexpr int max_time = 3113;
constexpr int Label8 = 3114;
constexpr int Label6 = 3115;
constexpr int upload_file = 3116;
constexpr int Label7 = 3117;
constexpr int Command1 = 3118;
constexpr int Command2 = 3119;
}  // namespace fphp

// Controls of the MySQL settings dialog `fmysql` (with the password change).
namespace fmysql {
constexpr int Frame1 = 3201;
constexpr int Label1 = 3202;
constexpr int port = 3203;
constexpr int Label2 = 3204;
constexpr int connections = 3205;
constexpr int Label4 = 3206;
constexpr int character = 3207;
constexpr int Label3 = 3208;
constexpr int engine = 3209;
constexpr int Command1 = 3210;
constexpr int Command2 = 3211;
constexpr int Frame2 = 3212;
constexpr int Label5 = 3213;
constexpr int oldpwd = 3214;
constexpr int Label6 = 3215;
constexpr int newpwd = 3216;
constexpr int Label7 = 3217;
constexpr int Command3 = 3218;
}  // namespace fmysql

// Controls of the site manager `zhanform`.
namespace zhanform {
constexpr int Label3 = 3301;
constexpr int Label2 = 3302;
constexpr int Text1 = 3303;
constexpr int Label1 = 3304;
constexpr int host = 3305;
constexpr int Command2 = 3306;
constexpr int Command1 = 3307;
}  // namespace zhanform

// Controls of the About dialog `fabout`.
namespace fabout {
constexpr int Image1 = 3401;
constexpr int Label2 = 3402;
constexpr int Label3 = 3403;
constexpr int Label1 = 3404;
constexpr int Command1 = 3405;
}  // namespace fabout

}  // namespace ids
