// The suite's shared string constants: registry key paths, section and value
// names, and the file names of companion programs. Every source file of the
// library includes this header; modules of the suite use the same names.
#ifndef VARNO_STRINGS_H
#define VARNO_STRINGS_H

// ---------------------------------------------------------------------------
// Registry keys. The settings lie under HKEY_LOCAL_MACHINE below the base
// path; a section's key is the base path followed directly by the section
// name (the base path ends in a backslash).
inline constexpr char VARNO_REG_BASEPATH[] = "SOFTWARE\\TORVALE\\VARNO4\\";

inline constexpr char VARNO_SEC_STOERSCHRIEB[] = "STOERSCHRIEB";
inline constexpr char VARNO_SEC_SCHNITTSTELLEN[] = "SCHNITTSTELLEN";
inline constexpr char VARNO_SEC_OPTIONEN[] = "OPTIONEN";
inline constexpr char VARNO_SEC_PROGRAMME[] = "PROGRAMME";
inline constexpr char VARNO_SEC_VEDORIR[] = "VEDORIR";
inline constexpr char VARNO_SEC_USERINFO[] = "USERINFO";

// The plant tools' own keys, under HKEY_CURRENT_USER.
inline constexpr char VARNO_REG_ANLPROJ_SETTINGS[] =
    "SOFTWARE\\TORVALE\\Vevidoraridoziziduru\\Settings";
inline constexpr char VARNO_REG_ANLVISU_SETTINGS[] =
    "SOFTWARE\\TORVALE\\Rerodidodedoviruvizid\\Settings";

// Registration of the CFC chart editor, under HKEY_LOCAL_MACHINE.
inline constexpr char VARNO_REG_CFC_EDITOR[] =
    "SOFTWARE\\TORVALE\\MORLIN\\2.0\\APPLICATIONS\\QZCHART\\RORAZE\\VARNO";

// ---------------------------------------------------------------------------
// "STOERSCHRIEB": fault records.
inline constexpr char VARNO_VAL_FORMAT[] = "FORMAT";
inline constexpr char VARNO_VAL_DART[] = "DART";
inline constexpr char VARNO_VAL_GRAFPROG[] = "GRAFPROG";
inline constexpr char VARNO_VAL_FAVIS_FORMAT_D3[] = "FAVIS_FORMAT_D3";
inline constexpr char VARNO_VAL_FAVIS_MODE_D3[] = "FAVIS_MODE_D3";

// "SCHNITTSTELLEN": communication interface parameters.
inline constexpr char VARNO_VAL_DEVLINKADR[] = "DEVLINKADR";
inline constexpr char VARNO_VAL_DEVVDADR[] = "DEVVDADR";
inline constexpr char VARNO_VAL_APIVDADR[] = "APIVDADR";
inline constexpr char VARNO_VAL_TAKEPARFROM[] = "TAKEPARFROM";
inline constexpr char VARNO_VAL_COMPORT[] = "COMPORT";
inline constexpr char VARNO_VAL_BAUDRATE[] = "BAUDRATE";
inline constexpr char VARNO_VAL_UARTFRAME[] = "UARTFRAME";
inline constexpr char VARNO_VAL_SERIALTIMEOUT[] = "SERIALTIMEOUT";
inline constexpr char VARNO_VAL_IECTIMEOUT[] = "IECTIMEOUT";
inline constexpr char VARNO_VAL_IECRETRY[] = "IECRETRY";
inline constexpr char VARNO_VAL_CLASS2PERIOD[] = "CLASS2PERIOD";
inline constexpr char VARNO_VAL_CLASS1PERIOD[] = "CLASS1PERIOD";
inline constexpr char VARNO_VAL_FMSAPPENTRYPOINT[] = "FMSAPPENTRYPOINT";
inline constexpr char VARNO_VAL_FMSVFDNAME[] = "FMSVFDNAME";
inline constexpr char VARNO_VAL_FMSPORTPARAM[] = "FMSPORTPARAM";
inline constexpr char VARNO_VAL_FMSUPF1WINDEX[] = "FMSUPF1WINDEX";
inline constexpr char VARNO_VAL_FMSUPF1RINDEX[] = "FMSUPF1RINDEX";
inline constexpr char VARNO_VAL_FMSUPF2WINDEX[] = "FMSUPF2WINDEX";
inline constexpr char VARNO_VAL_FMSUPF2RINDEX[] = "FMSUPF2RINDEX";
inline constexpr char VARNO_VAL_FMSUPF1LEN[] = "FMSUPF1LEN";
inline constexpr char VARNO_VAL_FMSUPF2LEN[] = "FMSUPF2LEN";
inline constexpr char VARNO_VAL_FMSMREADYINDEX[] = "FMSMREADYINDEX";
// Values of the section without a typed accessor.
inline constexpr char VARNO_VAL_T103VDADR[] = "T103VDADR";
inline constexpr char VARNO_VAL_CASCVDADR[] = "CASCVDADR";
inline constexpr char VARNO_VAL_DEVMIRRVDADR[] = "DEVMIRRVDADR";
inline constexpr char VARNO_VAL_CASCMIRRVDADR[] = "CASCMIRRVDADR";

// "OPTIONEN": options.
inline constexpr char VARNO_VAL_AUTOSAVE[] = "AUTOSAVE";
inline constexpr char VARNO_VAL_UMRECHNUNGPRIM[] = "UMRECHNUNGPRIM";
inline constexpr char VARNO_VAL_PARAMETERLEVEL[] = "PARAMETERLEVEL";
inline constexpr char VARNO_VAL_MATRIX[] = "MATRIX";
inline constexpr char VARNO_VAL_ZEBPRINTSETTINGS[] = "ZEBPRINTSETTINGS";
inline constexpr char VARNO_VAL_PRINTOPTIONS[] = "PRINTOPTIONS";

// "PROGRAMME": tool program paths and installation folders.
inline constexpr char VARNO_VAL_DISPLAYEDITOR[] = "DISPLAYEDITOR";
inline constexpr char VARNO_VAL_CFC[] = "CFC";
inline constexpr char VARNO_VAL_GRAFIKTOOLS[] = "GRAFIKTOOLS";
inline constexpr char VARNO_VAL_FAVIS[] = "Favis";
inline constexpr char VARNO_VAL_COMTRADEVIEWER[] = "COMTRADEVIEWER";
inline constexpr char VARNO_VAL_VARNO[] = "VARNO";
inline constexpr char VARNO_VAL_SSTOOLS[] = "SSTOOLS";

// "USERINFO": the user's company and name.
inline constexpr char VARNO_VAL_COMPANY[] = "COMPANY";
inline constexpr char VARNO_VAL_NAME[] = "NAME";

// The plant tools' interface file.
inline constexpr char VARNO_VAL_PARAFILE[] = "ParaFile";

// "VEDORIR": the test-set export header (mixed case, as the test sets
// expect).
inline constexpr char VARNO_VAL_RATINGV[] = "RatingV";
inline constexpr char VARNO_VAL_RATINGI[] = "RatingI";
inline constexpr char VARNO_VAL_RATINGFREQ[] = "RatingFreq";
inline constexpr char VARNO_VAL_MAXV[] = "MaxV";
inline constexpr char VARNO_VAL_MAXI[] = "MaxI";
inline constexpr char VARNO_VAL_I[] = "I";
inline constexpr char VARNO_VAL_IE[] = "IE";
inline constexpr char VARNO_VAL_TOL_T1[] = "TOL-T1";
inline constexpr char VARNO_VAL_TOL_T2[] = "TOL-T2";
inline constexpr char VARNO_VAL_TOL_Z1[] = "TOL-Z1";
inline constexpr char VARNO_VAL_TOL_Z2[] = "TOL-Z2";
inline constexpr char VARNO_VAL_LINEANGLE[] = "LineAngle";
inline constexpr char VARNO_VAL_RERL[] = "RERL";
inline constexpr char VARNO_VAL_XEXL[] = "XEXL";
inline constexpr char VARNO_VAL_KS1[] = "KS1";
inline constexpr char VARNO_VAL_KS2[] = "KS2";
inline constexpr char VARNO_VAL_ZS1[] = "ZS1";
inline constexpr char VARNO_VAL_ZS2[] = "ZS2";
inline constexpr char VARNO_VAL_TIME0MAX[] = "Time0Max";
inline constexpr char VARNO_VAL_IMPCORR[] = "ImpCorr";
inline constexpr char VARNO_VAL_CURRGROUND[] = "CurrGround";

// ---------------------------------------------------------------------------
// Texts stored as values.
inline constexpr char VARNO_TEXT_TRUE[] = "TRUE";
inline constexpr char VARNO_TEXT_FALSE[] = "FALSE";
inline constexpr char VARNO_TEXT_LINE[] = "LINE";

// ---------------------------------------------------------------------------
// Program files of companion tools.
inline constexpr char VARNO_FILE_FAVIS[] = "FAVIS4.EXE";
inline constexpr char VARNO_FILE_COMTRADEVIEW[] = "COMTRADEVIEW.EXE";
inline constexpr char VARNO_FILE_ANLPROJ[] = "ssdraw.exe";
inline constexpr char VARNO_FILE_ANLVISU[] = "ssshow.exe";
// Option that makes a plant tool set up its registry structure.
inline constexpr char VARNO_OPT_REG[] = " /reg";

#endif
