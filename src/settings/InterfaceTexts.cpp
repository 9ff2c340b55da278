#include "settings/InterfaceTexts.h"

namespace tovela {

void TranslateControls(SettingsWindowModel& window, TrayMenus& menus, DebugLog& log) {
    log.Write("TranslateControls");
    window.lblServer.caption = "サーバー:";
    // People paste the webmail address; the example shows which part belongs here.
    window.txtTovelaHost.tip =
        "サーバー名もしくはIPを入力してください "
        "(例: https://mail.example.com/ の場合は mail.example.com)";
    window.lblUsername.caption = "ユーザー名:";
    window.lblPassword.caption = "パスワード:";
    window.lblTitleMailPollInterval.caption = "確認間隔(秒):";
    window.lblMailPollInterval.tip = "Tovelaで設定 -> オプション > メール";
    window.chkVentana.caption = "ウィンドウで知らせる";
    window.chkSonido.caption = "音で知らせる";
    window.chkSonido.tip = "インストール先のunread.wavファイルを使用します";
    window.fraFilters.caption = "リマインド規則: (フォルダー|タグ|カレンダー)";
    window.optBlackList.caption = "リマインドしない...";
    window.optWhiteList.caption = "リマインドする...";
    window.lblTitleFilters.caption = "次の文字列を含む場合:";
    window.txtFilters.tip =
        "フォルダー名、タグ、カレンダーでフィルターリングします。"
        "\"|\"で項目を区切り、正規表現が使用可能です";
    window.chkSSL.caption = "安全な接続をする";
    window.chkGuardaPassword.caption = "パスワードの保存";
    window.chkSSL.tip = "インターネット経由で接続する場合にチェックします";
    window.cmdAceptar.caption = "&OK";
    window.cmdCerrar.caption = "閉じる(&C)";

    menus.mnuPopComprobar.caption = "新着メールを確認";
    menus.mnuPopConf.caption = "設定";
    menus.mnuPopAbrirTovela.caption = "Tovelaを開く";
    menus.mnuPopWinSetup.caption = "Windowsとの統合";
    menus.mnuPopWinSetupAutoRun.caption = "起動時に自動実行する";
    menus.mnuPopWinSetupMailtoHandler.caption = "デフォルトのメールアプリケーションとして設定";
    menus.mnuPopSalir.caption = "終了";
    menus.mnuPopAbout.caption = "Tovela Notifierについて";
    menus.mnuCalAbrirTovela.caption = "Tovelaを開く";
    menus.mnuCalEliminar.caption = "削除";
    menus.mnuCalNotificar.caption = "この予約をリマインドする";
}

void ApplyDialogFont(SettingsWindowModel& window) {
    constexpr int kShiftJisCharset = 128;
    window.fontName = "MS Shell Dlg";
    window.fontCharset = kShiftJisCharset;
}

}  // namespace tovela
