#pragma once
#include <array>
#include <string_view>

// Every text of the main window and the replace dialog, in one place: captions, hints, page titles, the
// settings page's labels and the form's own messages. The front ends take them from here and hold none.
// (The import's messages are the import's, in excel/.)

namespace gridvane {

/// A control's caption and its hint (the tooltip); an empty text is none.
struct ControlText {
    std::u16string_view caption;
    std::u16string_view hint;
};

/// The window's initial caption, before an import names the workbook and sheet.
inline constexpr std::u16string_view kForm1Caption = u"Gridvane 2023.02.11";
/// The program's name: the caption of the error box when the program cannot start its window.
inline constexpr std::u16string_view kProgramName = u"Gridvane23";

/// PageControl1's page titles, in page order (the leading spaces belong to them).
inline constexpr std::array<std::u16string_view, 3> kPageTitles = {u" 取得、描画", u" 設定、確認", u" 図面"};

// ---- the first page
inline constexpr ControlText kLabel1{u"対象セル：", {}};
inline constexpr ControlText kLabel2{u"～", {}};
inline constexpr ControlText kButton3{u"Excel から取得", u"アクティブな Excel から選択範囲を取得します"};
inline constexpr ControlText kButton4{u"Plotra へ挿入", u"DXF ファイル作成,、AutoCAD, Bricscad に挿入"};
inline constexpr ControlText kEdit1{{}, u"赤文字の時：改行コードが含まれている"};
inline constexpr ControlText kEdit11{{}, u"列幅 [Enter]で更新"};
inline constexpr ControlText kEdit12{{}, u"行高さ [Enter]で更新"};
inline constexpr ControlText kEdit13{{}, u"文字高さ [Enter]で更新"};
/// SpeedButton1, SpeedButton2, SpeedButton3: left, centre, right (txtAlign 1, 2, 3).
inline constexpr std::array<ControlText, 3> kSpeedButtons = {
    ControlText{u"左", u"文字基点 [左]"}, ControlText{u"中", u"文字基点 [中]"}, ControlText{u"右", u"文字基点 [右]"}};
inline constexpr ControlText kCheckBox1{u"セルを描画", {}};
inline constexpr ControlText kStringGrid1{{}, u"範囲選択=固定部クリック or [Shift]+矢印キー. 右クリックで選択範囲の文字変換メニュー"};

/// PopupMenu1's item captions (the menu itself: PopupMenu1Items).
inline constexpr std::u16string_view kN1 = u"半角->全角";
inline constexpr std::u16string_view kN12 = u"半角->全角（数字のみの文字列は除外）";
inline constexpr std::u16string_view kN5 = u"半角カナ->全角";
inline constexpr std::u16string_view kN2 = u"全角->半角";
inline constexpr std::u16string_view kN6 = u"全角数字->半角";
inline constexpr std::u16string_view kN7 = u"全角アルファベット->半角";
inline constexpr std::u16string_view kN9 = u"代替文字を含む禁止文字->半角";
inline constexpr std::u16string_view kN4 = u"置換";
inline constexpr std::u16string_view kN14 = u"元に戻す";
inline constexpr std::u16string_view kN15 = u"やり直し";
inline constexpr std::u16string_view kN17 = u"コピー";
inline constexpr std::u16string_view kN18 = u"貼り付け";
inline constexpr std::u16string_view kN19 = u"削除";
/// The keys of those items, as the menus show them.
inline constexpr std::u16string_view kUndoKey = u"Ctrl+Z", kRedoKey = u"Ctrl+Y", kCopyKey = u"Ctrl+C",
                                     kPasteKey = u"Ctrl+V", kDeleteKey = u"Del";

// ---- the settings page
inline constexpr ControlText kGroupBox1{u"表示", {}};
inline constexpr ControlText kGroupBox2{u"CAD, DXF", {}};
/// The labels of the settings page, in the order the windows lay them out: Edit4 and Edit5 in GroupBox1;
/// Edit6, Edit7, Edit8, the inset's heading, the words around Edit9, and the two labels of Edit10 in GroupBox2.
enum SettingsLabel : int {
    kLabelEdit4, kLabelEdit5, kLabelEdit6, kLabelEdit7, kLabelEdit8, kLabelInsetHeading, kLabelInsetBefore,
    kLabelInsetAfter, kLabelEdit10, kLabelByLayer, kSettingsLabelCount
};
inline constexpr std::array<std::u16string_view, kSettingsLabelCount> kSettingsLabels = {
    u"X 尺度", u"Y 尺度", u"X 尺度", u"Y 尺度", u"文字尺度", u"文字基点オフセット X 尺度", u"文字高さの", u"倍",
    u"セル区切り線の色番号", u"( BYLAYER = 256 )"};
inline constexpr ControlText kButton1{u"変更を反映", {}};
/// StringGrid2's label column, row by row.
inline constexpr std::array<std::u16string_view, 5> kSummaryLabels = {u"全幅", u"全高", u"列幅", u"行高", u"文字"};

// ---- the drawing page
inline constexpr ControlText kDrawingView1{{}, u"ホイール: 拡大・縮小　ドラッグ: 移動　ダブルクリック: 全体表示"};

// ---- the replace dialog TForm3
inline constexpr std::u16string_view kForm3Caption = u"置換";
inline constexpr ControlText kForm3Label1{u"検索文字列", {}};
inline constexpr ControlText kForm3Label2{u"置換文字列", {}};
inline constexpr ControlText kForm3Button1{u"実行", {}};
inline constexpr ControlText kForm3Button2{u"中止", {}};

// ---- choosing a workbook, where a workbook file stands in for the running spreadsheet
inline constexpr std::u16string_view kOpenWorkbookTitle = u"ブックを開く";
/// A kind of file the dialog offers: its name and its patterns, separated by spaces.
struct FileKind {
    std::u16string_view name;
    std::u16string_view patterns;
};
inline constexpr std::array<FileKind, 2> kWorkbookKinds = {FileKind{u"Excel ブック", u"*.xlsx *.xlsm"},
                                                          FileKind{u"すべてのファイル", u"*"}};

// ---- the form's messages
inline constexpr std::u16string_view kMessageCaption = u"メッセージ";
inline constexpr std::u16string_view kConfirmCaption = u"確認";
inline constexpr std::u16string_view kApplyQuestion =
    u"尺度を更新すると個別に設定した列幅、列高さ、文字高さがリセット（再計算）されます．\r設定を更新しますか？";
/// Edit11, Edit12, Edit13: column width, row height, text height.
inline constexpr std::array<std::u16string_view, 3> kSizeQuestions = {
    u"選択範囲の列幅を変更しますか？", u"選択範囲の行高さを変更しますか？", u"選択範囲の文字高さを変更しますか？"};
/// Edit11, Edit12, Edit13 with a text that is not a positive number.
inline constexpr std::array<std::u16string_view, 3> kSizeNotPositive = {
    u"列幅には 0 より大きい数を入力してください。", u"行高さには 0 より大きい数を入力してください。",
    u"文字高さには 0 より大きい数を入力してください。"};
/// Edit4 .. Edit9 as the refusal of an apply names them.
inline constexpr std::array<std::u16string_view, 6> kSettingNames = {
    u"表示の X 尺度", u"表示の Y 尺度", u"CAD, DXF の X 尺度", u"CAD, DXF の Y 尺度", u"文字尺度", u"文字基点オフセット X 尺度"};
/// An apply refused: the setting's name, then one of these, then the text typed in quotation marks and kNothingApplied.
inline constexpr std::u16string_view kNotPositive = u" には 0 より大きい数を入力してください: ";
inline constexpr std::u16string_view kNotZeroOrPositive = u" には 0 以上の数を入力してください: ";
inline constexpr std::u16string_view kNothingApplied = u"\n設定は変更していません。";
/// The status line after "Plotra へ挿入", before the drawing's path.
inline constexpr std::u16string_view kDrawingSavedNoCad = u"Plotra が起動していないため、図面をファイルに保存しました: ";
inline constexpr std::u16string_view kDrawingHandedToCad = u"図面を Plotra に渡しました。Plotra で挿入点を指示してください: ";
/// The status line while a call into the spreadsheet or the CAD waits for it to take the call.
inline constexpr std::u16string_view kWaitingForSpreadsheet = u"Excel が処理中です。応答を待っています…";
inline constexpr std::u16string_view kWaitingForCad = u"Plotra が処理中です。応答を待っています…";
inline constexpr std::u16string_view kWaitingForCalc = u"LibreOffice Calc の応答を待っています… (Esc で中止)";
/// Asked after the reason why the running spreadsheet cannot be imported from (caption kConfirmCaption):
/// Yes opens the file dialog.
inline constexpr std::u16string_view kChooseWorkbookInstead = u"代わりにブックのファイルを選んで取得しますか？";
/// After the count of replaced texts.
inline constexpr std::u16string_view kReplacedCount = u" 個の文字列を置換しました.";
/// What escaped a handler without a message of its own.
inline constexpr std::u16string_view kUnknownError = u"不明なエラーが発生しました。";
/// After the cell's name: a cell whose drawing position or size is not a finite number.
inline constexpr std::u16string_view kNotFiniteCoordinate = u": 図面の座標が有限の数ではありません";
/// The drawing page's list: before a cell's name, and around the count of cells beyond the list's end.
inline constexpr std::u16string_view kCodePageLine = u"図面で表せない文字: ";
inline constexpr std::u16string_view kCodePageMoreBefore = u"ほかに ";
inline constexpr std::u16string_view kCodePageMoreAfter = u" 個のセル";

} // namespace gridvane
