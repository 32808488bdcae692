// Resource identifiers of the settings windows, shared by the .rc file and the code.
// The templates hold layout only: every text comes from settings_ui_texts.h.
#pragma once

#define EQ_IDB_LOGO 201
#define EQ_IDI_LIST 202

// Dialog templates.
#define EQ_IDD_SETTINGS 101      // the settings window's frame
#define EQ_IDD_PAGE_MAIN 102     // the SMTP page: its inner tab control
#define EQ_IDD_TAB_SMTP 103      // the SMTP page's tab "Настройки SMTP"
#define EQ_IDD_TAB_GENERAL 104   // the SMTP page's tab "Общие"
#define EQ_IDD_PAGE_INFO 105     // the tab "Информация"
#define EQ_IDD_SETTINGS_LIST 106 // the settings list editor
#define EQ_IDD_DEVICE_TEST 107   // "Проверка…" while the device test connects
#define EQ_IDD_TAB_SECURITY 108  // the SMTP page's tab "Безопасность"
#define EQ_IDD_SIGN_IN 109       // "Войти…": the address and the code while the sign-in waits

// The frame.
#define EQ_IDC_PAGES 401
#define EQ_IDC_ADDITIONAL 402
#define EQ_IDC_OK 403
#define EQ_IDC_CANCEL 404
#define EQ_IDC_LOGO 405
#define EQ_IDC_MODEL_NAME 406
#define EQ_IDC_VERSION 407
#define EQ_IDC_HEADER_LINE 408
#define EQ_IDC_FOOTER_LINE 409
// The SMTP page.
#define EQ_IDC_INNER_TABS 410
#define EQ_IDC_FIRST_LABEL 430   // + field, the label of each field
#define EQ_IDC_FIRST_FIELD 420   // + field (TMainSettingsField)
// The SMTP page's tab "Безопасность".
#define EQ_IDC_SEC_SERVICE_LABEL 460
#define EQ_IDC_SEC_SERVICE 461
#define EQ_IDC_SEC_NOTE 462
#define EQ_IDC_SEC_SECURITY_LABEL 463
#define EQ_IDC_SEC_SECURITY 464
#define EQ_IDC_SEC_AUTH_LABEL 465
#define EQ_IDC_SEC_AUTH 466
#define EQ_IDC_SEC_VERIFY 467
#define EQ_IDC_SEC_PIN_LABEL 468
#define EQ_IDC_SEC_PIN 469
// Its OAuth 2.0 rows: the flow, each field (+ TOAuthField) with its label, "Войти…".
#define EQ_IDC_SEC_FLOW_LABEL 470
#define EQ_IDC_SEC_FLOW 471
#define EQ_IDC_SEC_SIGN_IN 472
#define EQ_IDC_SEC_OAUTH_LABEL 480
#define EQ_IDC_SEC_OAUTH 490
// The tab "Информация": caption and value of each row.
#define EQ_IDC_FIRST_INFO_CAPTION 450
#define EQ_IDC_FIRST_INFO 440
// The settings list editor.
#define EQ_IDC_LIST 301
#define EQ_IDC_STATUS 302
#define EQ_IDC_DEFAULT 303
#define EQ_IDC_LIST_OK 304
#define EQ_IDC_LIST_CANCEL 305
#define EQ_IDC_EDIT 306
#define EQ_IDC_COMBO 307
#define EQ_IDC_STATUS_FRAME 308
// The device test's progress.
#define EQ_IDC_PROGRESS_TEXT 501
#define EQ_IDC_PROGRESS_BAR 502
#define EQ_IDC_PROGRESS_CANCEL 503
// "Войти…".
#define EQ_IDC_SIGN_IN_TEXT 511
#define EQ_IDC_SIGN_IN_ADDRESS 512
#define EQ_IDC_SIGN_IN_CODE_LABEL 513
#define EQ_IDC_SIGN_IN_CODE 514
#define EQ_IDC_SIGN_IN_STATUS 515
#define EQ_IDC_SIGN_IN_BAR 516
#define EQ_IDC_SIGN_IN_BROWSER 517
#define EQ_IDC_SIGN_IN_CANCEL 518
