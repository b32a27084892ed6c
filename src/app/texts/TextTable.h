#pragma once

#include <QString>

// Ids of the program's texts. The numbers are the ones the texts are known by; the names say
// where each one is used.
enum class TextId : quint16 {
    ErrorTitle = 101,
    SysInfoUnavailable = 202,
    FoldersScanned = 301,
    FreeSpace = 302,
    TotalSpace = 303,
    ScanningFolder = 304,
    ScanStopped = 305,
    StopBeforeQuit = 306,
    DriveButtonTip = 308,
    ColumnName = 309,
    ColumnSize = 310,
    ColumnPercent = 311,
    ColumnDate = 312,
    SizeDiskTip = 313,
    SizeParentTip = 314,
    StopTip = 315,
    UpTip = 316,
    RescanTip = 317,
    PageLabel = 318,
    PrintTitle = 319,
    Printing = 320,
    PrintTip = 321,
    FoldersScannedUnread = 322,
    UnreadTip = 323,
    MenuFile = 1000,
    MenuFileExit = 1001,
    MenuView = 1002,
    MenuViewToolBar = 1003,
    MenuViewStatusBar = 1004,
    MenuViewSize = 1005,
    MenuViewSizeDisk = 1006,
    MenuViewSizeParent = 1007,
    MenuScan = 1008,
    MenuHelp = 1009,
    MenuHelpIndex = 1010,
    MenuAbout = 1011,
    MenuScanStop = 1012,
    MenuFilePrint = 1013,
    MenuScanRefresh = 1014,
    MenuViewSortBy = 1015,
    MenuScanFolder = 1016,
    ScanFolderTitle = 1017,
    NotAFolder = 1018,
    MenuViewMap = 1019,
    MapTip = 1020,
    // The map's key, in the order of the kinds of file, the folders' surface last.
    MapKindPictures = 1021,
    MapKindFolders = 1029,
    MapCaption = 1030,
    MenuFileSearch = 1031,
    SearchTitle = 1032,
    SearchPattern = 1033,
    SearchFound = 1034,
    SearchFolderColumn = 1035,
    MenuViewOnDisk = 1036,
    OnDiskTip = 1037,
    PrintTitleOnDisk = 1038,
    ScanAboveUsed = 1039,
    MenuViewBiggest = 1040,
    BiggestTitle = 1041,
    BiggestCount = 1042,
    BiggestNoVolume = 1043,
    ColumnOnDisk = 1044,
    // The report of a volume's used space: a row's text is its name, a line break, then what it
    // means.
    MenuViewReport = 1060,
    ReportRefresh = 1061,
    ReportUsed = 1062,
    ReportFound = 1063,
    ReportDifference = 1064,
    ReportDeletedOpen = 1065,
    ReportMountPoints = 1066,
    ReportUnread = 1067,
    ReportRest = 1068,
    ReportExcess = 1069,
    ReportReserved = 1070,
    ReportUnreadProcesses = 1071,
    ReportProcessColumn = 1072,
    ReportReading = 1073,
    ReportNoScan = 1074,
    ReportSavedScope = 1163,
    ReportFolderScope = 1164,
    // The menu of a file or folder.
    ItemOpen = 1080,
    ItemShowInFileManager = 1081,
    ItemCopyPath = 1082,
    ItemRefresh = 1083,
    ItemTrash = 1084,
    ItemDelete = 1085,
    RefreshingFolder = 1086,
    RefreshStopped = 1087,
    TrashButton = 1088,
    DeleteButton = 1089,
    // Saved scans.
    MenuFileOpenScan = 1090,
    MenuFileSaveScan = 1091,
    MenuFileCompareScan = 1092,
    SavedOn = 1093,
    SavedScanFilter = 1094,
    SavedScanReading = 1095,
    SavedScanUnreadable = 1096,
    SavedScanWriting = 1097,
    SavedScanNotWritten = 1098,
    SavedScanNothing = 1099,
    TrashQuestion = 1100,
    RemovalSize = 1101,
    TrashSameVolume = 1102,
    DeleteQuestion = 1103,
    DeleteLastQuestion = 1104,
    RemovalChanged = 1105,
    TrashFailed = 1106,
    DeleteFailed = 1107,
    NoTrashDelete = 1108,
    DeletePartly = 1109,
    RefusedRoot = 1110,
    RefusedMountPoint = 1111,
    RefusedTrash = 1112,
    RefusedOutside = 1113,
    RefusedMissing = 1114,
    RefusedScanning = 1115,
    ColumnGrowth = 1116,
    GrowthNew = 1117,
    GrowthGone = 1118,
    GrowthSince = 1119,
    ImportUnreadable = 1120, // one per problem of a saved scan, in their order
    ImportAt = 1132,
    CompareNothing = 1133,
    MapGrown = 1134,
    MapShrunk = 1135,
    MapUnchanged = 1136,
    // What changed on the disk between the look and the act.
    ChangedNothingDeleted = 1137,
    ChangedNothingTrashed = 1138,
    ChangedNothingRefreshed = 1139,
    ChangeGone = 1140,
    ChangeLink = 1141,
    ChangeReplaced = 1142,
    ChangeOtherVolume = 1143,
    ChangeNotFolder = 1144,
    ChangeUnreadable = 1145,
    SavedScanItem = 1146,
    TrashIsLink = 1147,
    TrashNotOwned = 1148,
    TrashOtherVolume = 1149,
    AmountByte = 1150,
    AmountBytes = 1151,
    ChangeMountedInside = 1152,
    MapKindOthers = 1153, // the other files, logs among them
    FoundFile = 1154,     // one file found and its bytes
    FoundFiles = 1155,    // the files found and their total
    KindsCounting = 1156, // the folder whose files are being counted
    LinkedName = 1157,    // a hard link's name whose bytes count at another
    // Ending a comparison; a saved scan of another volume; what could not be read.
    MenuFileEndCompare = 1173,
    CompareOtherVolume = 1174,
    AnswerYes = 1175,
    AnswerNo = 1176,
    GrowthUnread = 1177,
    MapUnread = 1178,
    UnreadVanished = 1183, // among the unread, those that went while the walk ran
    ReportVanished = 1184, // likewise, in the report's row of what was unread
    // The view that follows the volume's changes.
    LiveOn = 1185,
    LiveChange = 1186, // the volume's net change since the walk
    LiveImpossible = 1187,
    LiveNoEvents = 1188,
    LiveTooManyFolders = 1189,
    LiveEnded = 1190,
    LiveToolTip = 1191,
    MenuViewGrowth = 1192,
    GrowthTitle = 1193,
    GrowthMinute = 1194,
    GrowthHour = 1195,
    GrowthSinceWalk = 1196,
    GrowthColumn = 1197,
    GrowthRateColumn = 1198,
    GrowthRate = 1199, // a rate in bytes a second
    GrowthNothing = 1200,
    GrowthNotLive = 1201,
    GrowthOnMap = 1202,
    MenuViewKinds = 1050,
    KindsTitle = 1051,
    MapKindDiskImages = 1052,
    KindsKindColumn = 1053,
    KindsCountColumn = 1054,
    KindsNoExtension = 1055,
    KindsFolder = 1056,   // the folder, its files and their total
    KindsFilesOf = 1057,  // a kind or extension, and how many files it has
    KindsTreeName = 1058, // the kinds' tree, for screen readers
};

// The one table of French texts that captions, tooltips, status texts and messages come from.
// The texts are kept letter for letter, accents, spelling and trailing spaces included.
class TextTable
{
public:
    // The text of an id; an id the table does not hold gives the empty text.
    static QString text(TextId id);
    static QString text(int id);
};

inline QString Text(TextId id)
{
    return TextTable::text(id);
}
