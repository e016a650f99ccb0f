<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>FieldGrid</name>
    <message>
        <source>全角文字</source>
        <translation>Full-width</translation>
    </message>
    <message>
        <source>半角英数字</source>
        <translation>Alphanumeric</translation>
    </message>
    <message>
        <source>半角数字</source>
        <translation>Numeric</translation>
    </message>
    <message>
        <source>項   目   名</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>情       報</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>データ表現</source>
        <translation>Format</translation>
    </message>
</context>
<context>
    <name>ReportLayout</name>
    <message>
        <source>電子納品チェック結果</source>
        <translation>Delivery check results</translation>
    </message>
</context>
<context>
    <name>TFolderViewLT</name>
    <message>
        <source>ホーム</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>ドキュメント</source>
        <translation>Documents</translation>
    </message>
</context>
<context>
    <name>TPhotoItemDelegate</name>
    <message>
        <source>読込中…</source>
        <translation>Loading…</translation>
    </message>
    <message>
        <source>画像として
表示できません</source>
        <translation>Cannot be shown
as an image</translation>
    </message>
    <message>
        <source>ファイルなし</source>
        <translation>No file</translation>
    </message>
    <message>
        <source>%1枚目のメディア
（読み込まれていません）</source>
        <translation>On medium %1
(not loaded)</translation>
    </message>
    <message>
        <source>代表</source>
        <comment>representative photo</comment>
        <translation>Rep.</translation>
    </message>
    <message>
        <source>提出</source>
        <comment>photo for the submission frequency</comment>
        <translation>Freq.</translation>
    </message>
</context>
<context>
    <name>TPhotoListModel</name>
    <message>
        <source>ファイルがありません。</source>
        <translation>The file is missing.</translation>
    </message>
    <message>
        <source>ファイルは%1枚目のメディアにあります（読み込まれていません）。</source>
        <translation>The file is on medium %1 (not loaded).</translation>
    </message>
    <message>
        <source>画像として表示できません。</source>
        <translation>Cannot be shown as an image.</translation>
    </message>
    <message>
        <source>写真チェックの指摘: %1件</source>
        <translation>Photo check findings: %1</translation>
    </message>
</context>
<context>
    <name>TfrmBaseInfo</name>
    <message>
        <source>メディア番号</source>
        <translation>Medium number</translation>
    </message>
    <message>
        <source>メディア総枚数</source>
        <translation>Number of media</translation>
    </message>
    <message>
        <source>発注図面フォルダ名</source>
        <translation>Order drawings folder</translation>
    </message>
    <message>
        <source>特記仕様書オリジナル<byte value="xd"/>ファイルフォルダ名</source>
        <translation>Special specifications<byte value="xd"/>original files folder</translation>
    </message>
    <message>
        <source>打合せ簿フォルダ名</source>
        <translation>Meeting records folder</translation>
    </message>
    <message>
        <source>打合せ簿オリジナル<byte value="xd"/>ファイルフォルダ名</source>
        <translation>Meeting records<byte value="xd"/>original files folder</translation>
    </message>
    <message>
        <source>施工計画書フォルダ名</source>
        <translation>Construction plans<byte value="xd"/>folder</translation>
    </message>
    <message>
        <source>施工計画書オリジナル<byte value="xd"/>ファイルフォルダ名</source>
        <translation>Construction plans<byte value="xd"/>original files folder</translation>
    </message>
    <message>
        <source>完成図面フォルダ名</source>
        <translation>Final drawings folder</translation>
    </message>
    <message>
        <source>写真フォルダ名</source>
        <translation>Photos folder</translation>
    </message>
    <message>
        <source>その他フォルダ名</source>
        <translation>Other documents<byte value="xd"/>folder</translation>
    </message>
    <message>
        <source>その他オリジナル<byte value="xd"/>ファイルフォルダ名</source>
        <translation>Other documents<byte value="xd"/>original files folder</translation>
    </message>
    <message>
        <source>ソフトウェア名</source>
        <translation>Software name</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>メーカ名</source>
        <translation>Maker</translation>
    </message>
    <message>
        <source>メーカ連絡先</source>
        <translation>Maker contact</translation>
    </message>
    <message>
        <source>ソフトメーカ用ＴＡＧ</source>
        <translation>Software maker&apos;s tag</translation>
    </message>
    <message>
        <source>基礎情報</source>
        <translation>Base Information</translation>
    </message>
    <message>
        <source>カテゴリ</source>
        <translation>Category</translation>
    </message>
    <message>
        <source>項   目   名</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>情&#x3000;&#x3000;&#x3000; 報</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>基礎情報</source>
        <comment>category</comment>
        <translation>Base
information</translation>
    </message>
    <message>
        <source>ソフトウェア
情報</source>
        <translation>Software
information</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>要領: %1</source>
        <translation>Guideline: %1</translation>
    </message>
</context>
<context>
    <name>TfrmCADFiles</name>
    <message>
        <source>図面番号</source>
        <translation>Drawing number</translation>
    </message>
    <message>
        <source>ファイル名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source> 区分 </source>
        <translation> Division </translation>
    </message>
    <message>
        <source>道路詳細設計</source>
        <translation>Road detailed design</translation>
    </message>
    <message>
        <source>橋梁詳細設計</source>
        <translation>Bridge detailed design</translation>
    </message>
    <message>
        <source>樋門・樋管設計</source>
        <translation>Sluice gate/pipe design</translation>
    </message>
    <message>
        <source>トンネル詳細設計</source>
        <translation>Tunnel detailed design</translation>
    </message>
    <message>
        <source>ライフサイクル</source>
        <translation>Life cycle</translation>
    </message>
    <message>
        <source>S-測量</source>
        <translation>S-Survey</translation>
    </message>
    <message>
        <source>D-設計</source>
        <translation>D-Design</translation>
    </message>
    <message>
        <source>C-施工</source>
        <translation>C-Construction</translation>
    </message>
    <message>
        <source>M-維持管理</source>
        <translation>M-Maintenance</translation>
    </message>
    <message>
        <source>整理番号</source>
        <translation>Serial no.</translation>
    </message>
    <message>
        <source>図面種類</source>
        <translation>Drawing kind</translation>
    </message>
    <message>
        <source>改訂履歴</source>
        <translation>Revision</translation>
    </message>
</context>
<context>
    <name>TfrmDeliveryCheck</name>
    <message>
        <source>電子納品チェック結果</source>
        <translation>Delivery check results</translation>
    </message>
    <message>
        <source>重要度</source>
        <translation>Severity</translation>
    </message>
    <message>
        <source>メディア</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>ファイル・フォルダ</source>
        <translation>File or folder</translation>
    </message>
    <message>
        <source>規則</source>
        <translation>Rule</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>Finding</translation>
    </message>
    <message>
        <source>電子納品チェック</source>
        <translation>Delivery Check</translation>
    </message>
    <message>
        <source>電子納品チェックの結果、以下の問題が見つかりました。</source>
        <translation>The delivery check found the following problems.</translation>
    </message>
    <message>
        <source>    印刷    </source>
        <translation>    Print    </translation>
    </message>
    <message>
        <source>印刷 (Ctrl+P)</source>
        <translation>Print (Ctrl+P)</translation>
    </message>
    <message>
        <source>CSV 出力</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>CSV ファイルに書き出します</source>
        <translation>Writes the findings to a CSV file</translation>
    </message>
    <message>
        <source>PDF 出力</source>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>PDF ファイルに書き出します</source>
        <translation>Writes the findings to a PDF file</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>電子納品チェックを中止しました。中止までに問題は見つかりませんでした。</source>
        <translation>The delivery check was stopped. No problems were found until then.</translation>
    </message>
    <message>
        <source>電子納品チェックで問題は見つかりませんでした。</source>
        <translation>The delivery check found no problems.</translation>
    </message>
    <message>
        <source>電子納品チェックを中止しました。中止までに以下の問題が見つかりました。</source>
        <translation>The delivery check was stopped. Until then it found the following problems.</translation>
    </message>
    <message>
        <source>電子納品のフォルダには書き出せません。<byte value="xd"/>別の場所を選んでください。</source>
        <translation>Nothing can be written into the delivery&apos;s folders.<byte value="xd"/>Please choose another place.</translation>
    </message>
    <message>
        <source>%1 に書き出しました。</source>
        <translation>Written to %1.</translation>
    </message>
    <message>
        <source>ファイルに書き出せませんでした。<byte value="xd"/>%1</source>
        <translation>The file could not be written.<byte value="xd"/>%1</translation>
    </message>
</context>
<context>
    <name>TfrmFiles</name>
    <message>
        <source>リンクされているファイルが見つかりません。<byte value="xd"/>再度ファイルの添付を行ってください。</source>
        <translation>The linked file cannot be found.<byte value="xd"/>Please attach the file again.</translation>
    </message>
    <message>
        <source>ｵﾘｼﾞﾅﾙﾌｧｲﾙ作成ｿﾌﾄﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>Original file software version</translation>
    </message>
    <message>
        <source>ファイル名：%1</source>
        <translation>File: %1</translation>
    </message>
    <message>
        <source>探した場所：%1</source>
        <translation>Looked for in: %1</translation>
    </message>
    <message>
        <source>このファイルのあるメディア：%1番目のメディア</source>
        <translation>On medium: %1</translation>
    </message>
    <message>
        <source>このファイルのあるメディア：読み込まれていないメディア</source>
        <translation>On medium: one not loaded yet</translation>
    </message>
    <message>
        <source>ファイルの内容が変更されています&#x3000;サイズ: %1 → %2 バイト&#x3000;更新日時: %3 → %4</source>
        <translation>The file&apos;s content has changed   Size: %1 → %2 bytes   Modified: %3 → %4</translation>
    </message>
</context>
<context>
    <name>TfrmFindFiles</name>
    <message>
        <source>%1 ﾊﾞｲﾄ</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>%1検索</source>
        <translation>Search for %1</translation>
    </message>
    <message>
        <source>検索するフォルダ：</source>
        <translation>Search in:</translation>
    </message>
    <message>
        <source>検索開始</source>
        <translation>Start search</translation>
    </message>
    <message>
        <source>検索中止</source>
        <translation>Stop search</translation>
    </message>
    <message>
        <source>ファイル名：</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>ファイル名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>フォルダ名</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>サイズ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>種類</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>更新日時</source>
        <translation>Modified</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>一般データファイル検索</source>
        <translation>Search for Data Files</translation>
    </message>
    <message>
        <source>検索しています。</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>&apos;%1&apos; 検索しています。</source>
        <translation>Searching &apos;%1&apos;...</translation>
    </message>
    <message>
        <source>何も見つかりませんでした。</source>
        <translation>Nothing was found.</translation>
    </message>
    <message>
        <source>%1個のファイルが見つかりました。</source>
        <translation>%1 file(s) found.</translation>
    </message>
</context>
<context>
    <name>TfrmInfo</name>
    <message>
        <source>この記録は以前の納品物にだけあります（削除）。以前の値を表示しています。</source>
        <translation>This record is only in the earlier delivery (removed). Its earlier values are shown.</translation>
    </message>
</context>
<context>
    <name>TfrmKojInfo</name>
    <message>
        <source>読み込み対象外の項目</source>
        <translation>Items not read</translation>
    </message>
    <message>
        <source>項目</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>値</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>このほかに %1 項目ありますが、一覧には載せていません。</source>
        <translation>%1 more items are not listed.</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>現在挿入されているメディアにファイルがありません。
<byte value="xd"/>%1番目のメディアを挿入し、更新(F5)を行ってください。</source>
        <translation>The file is not on the medium inserted now.
<byte value="xd"/>Insert medium %1 and refresh (F5).</translation>
    </message>
    <message>
        <source>このファイルは納品データの中にありません。</source>
        <translation>This file is not in the delivery data.</translation>
    </message>
    <message>
        <source>読み込まれたメディアの中にファイルがありません。
<byte value="xd"/>読み込まれていないメディアを挿入し、更新(F5)を行ってください。</source>
        <translation>The file is not on the media loaded.
<byte value="xd"/>Insert a medium not loaded yet and refresh (F5).</translation>
    </message>
</context>
<context>
    <name>TfrmPhotoView</name>
    <message>
        <source>&#x3000;</source>
        <comment>between title, file name and date</comment>
        <translation>   </translation>
    </message>
    <message>
        <source>%1 × %2（%3万画素）</source>
        <translation>%1 × %2 (%3 MP)</translation>
    </message>
    <message>
        <source>写真閲覧</source>
        <translation>Photo Viewer</translation>
    </message>
    <message>
        <source>写真情報</source>
        <translation>Photo information</translation>
    </message>
    <message>
        <source>項目</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>参考図</source>
        <translation>Reference drawings</translation>
    </message>
    <message>
        <source>写真チェック</source>
        <translation>Photo check</translation>
    </message>
    <message>
        <source>写真ファイル名</source>
        <translation>Photo file name</translation>
    </message>
    <message>
        <source>項目名</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>絞り込み(&amp;F):</source>
        <translation>&amp;Filter:</translation>
    </message>
    <message>
        <source>写真タイトル・撮影箇所・工種・種別・細別・ファイル名</source>
        <translation>Title, place, work type, kind, detail, file name</translation>
    </message>
    <message>
        <source>撮影日</source>
        <translation>Taken</translation>
    </message>
    <message>
        <source>～</source>
        <translation>to</translation>
    </message>
    <message>
        <source>代表写真のみ(&amp;R)</source>
        <translation>&amp;Representative only</translation>
    </message>
    <message>
        <source>提出頻度写真のみ(&amp;Q)</source>
        <translation>Fre&amp;quency photos only</translation>
    </message>
    <message>
        <source>並び順(&amp;O):</source>
        <translation>&amp;Order:</translation>
    </message>
    <message>
        <source>シリアル番号順</source>
        <translation>By serial number</translation>
    </message>
    <message>
        <source>撮影年月日順</source>
        <translation>By date taken</translation>
    </message>
    <message>
        <source>写真タイトル順</source>
        <translation>By title</translation>
    </message>
    <message>
        <source>一覧に戻る</source>
        <translation>Back to list</translation>
    </message>
    <message>
        <source>一覧に戻る (Esc)</source>
        <translation>Back to the list (Esc)</translation>
    </message>
    <message>
        <source>◀ 前の写真</source>
        <translation>◀ Previous</translation>
    </message>
    <message>
        <source>前の写真 (←)</source>
        <translation>Previous photo (←)</translation>
    </message>
    <message>
        <source>次の写真 ▶</source>
        <translation>Next ▶</translation>
    </message>
    <message>
        <source>次の写真 (→)</source>
        <translation>Next photo (→)</translation>
    </message>
    <message>
        <source>工期: %1 ～ %2</source>
        <translation>Construction period: %1 – %2</translation>
    </message>
    <message>
        <source>（なし）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>写真管理ファイルを読み込んでいます...</source>
        <translation>Reading the photo management files...</translation>
    </message>
    <message>
        <source>写真チェック: 確認しています...</source>
        <translation>Photo check: checking...</translation>
    </message>
    <message>
        <source>写真チェック: 指摘はありません。</source>
        <translation>Photo check: no findings.</translation>
    </message>
    <message>
        <source>写真チェック: %1件</source>
        <translation>Photo check: %1 finding(s)</translation>
    </message>
    <message>
        <source>読み込まれたメディアに写真管理ファイル（PHOTO.XML）がありません。</source>
        <translation>The loaded media hold no photo management file (PHOTO.XML).</translation>
    </message>
    <message>
        <source>%1 は %2行目で読めなくなりました（%3）。それまでに読めた%4件を表示しています。</source>
        <translation>%1 could not be read from line %2 on (%3). The %4 records read up to there are shown.</translation>
    </message>
    <message>
        <source>%1枚目のメディアは、読み込んだ後にドライブで別のメディアと入れ替えられたため、その写真は表示できません。</source>
        <translation>Medium %1 was replaced by another medium in the drive after it was loaded, so its photos cannot be shown.</translation>
    </message>
    <message>
        <source>%1件の写真のファイルは%2枚目のメディアにあります（%3）。</source>
        <translation>The files of %1 photo(s) are on medium %2 (%3).</translation>
    </message>
    <message>
        <source>ドライブから取り出されています</source>
        <translation>removed from the drive</translation>
    </message>
    <message>
        <source>読み込まれていません</source>
        <translation>not loaded</translation>
    </message>
    <message>
        <source>写真-大分類</source>
        <translation>Photo major category</translation>
    </message>
    <message>
        <source>写真区分</source>
        <translation>Photo division</translation>
    </message>
    <message>
        <source>工種</source>
        <translation>Work type</translation>
    </message>
    <message>
        <source>種別</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>細別</source>
        <translation>Detail</translation>
    </message>
    <message>
        <source>すべての写真 (%1)</source>
        <translation>All photos (%1)</translation>
    </message>
    <message>
        <source>（グループが%1を超えるため、以降は省略しています）</source>
        <translation>(more than %1 groups: the rest are left out)</translation>
    </message>
    <message>
        <source>表示 %1 / 全 %2 枚</source>
        <translation>Showing %1 of %2</translation>
    </message>
    <message>
        <source>シリアル番号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>写真ファイル日本語名</source>
        <translation>Photo file Japanese name</translation>
    </message>
    <message>
        <source>メディア番号</source>
        <translation>Medium number</translation>
    </message>
    <message>
        <source>写真タイトル</source>
        <translation>Photo title</translation>
    </message>
    <message>
        <source>工種区分予備</source>
        <translation>Work class spare</translation>
    </message>
    <message>
        <source>参考図ファイル名</source>
        <translation>Reference drawing file name</translation>
    </message>
    <message>
        <source>参考図ファイル日本語名</source>
        <translation>Reference drawing Japanese name</translation>
    </message>
    <message>
        <source>参考図タイトル</source>
        <translation>Reference drawing title</translation>
    </message>
    <message>
        <source>付加情報予備</source>
        <translation>Additional info spare</translation>
    </message>
    <message>
        <source>撮影箇所</source>
        <translation>Place taken</translation>
    </message>
    <message>
        <source>撮影年月日</source>
        <translation>Date taken</translation>
    </message>
    <message>
        <source>代表写真</source>
        <translation>Representative photo</translation>
    </message>
    <message>
        <source>提出頻度写真</source>
        <translation>Submission-frequency photo</translation>
    </message>
    <message>
        <source>施工管理値</source>
        <translation>Construction control value</translation>
    </message>
    <message>
        <source>請負者説明文</source>
        <translation>Contractor&apos;s note</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>ファイルがありません。</source>
        <translation>The file is missing.</translation>
    </message>
    <message>
        <source>%1枚目のメディアにあります（読み込まれていません）。</source>
        <translation>On medium %1 (not loaded).</translation>
    </message>
    <message>
        <source>写真管理ファイル</source>
        <translation>Photo management file</translation>
    </message>
    <message>
        <source>%1（%2行目）</source>
        <translation>%1 (line %2)</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source> ［ファイルなし］</source>
        <translation> [no file]</translation>
    </message>
    <message>
        <source>画像形式</source>
        <translation>Image format</translation>
    </message>
    <message>
        <source>（不明）</source>
        <translation>(unknown)</translation>
    </message>
    <message>
        <source>画素数</source>
        <translation>Pixels</translation>
    </message>
    <message>
        <source>Exif 向き</source>
        <translation>Exif orientation</translation>
    </message>
    <message>
        <source>Exif 撮影日時</source>
        <translation>Exif date taken</translation>
    </message>
    <message>
        <source>Exif ソフトウェア</source>
        <translation>Exif software</translation>
    </message>
    <message>
        <source>写真管理ファイルにないファイル: %1</source>
        <translation>File not in the photo management file: %1</translation>
    </message>
    <message>
        <source>写真ファイル %1 がありません。</source>
        <translation>The photo file %1 is missing.</translation>
    </message>
    <message>
        <source>写真ファイル %1 は%2枚目のメディアにあります（読み込まれていません）。</source>
        <translation>The photo file %1 is on medium %2 (not loaded).</translation>
    </message>
    <message>
        <source>参考図: %1</source>
        <translation>Reference drawing: %1</translation>
    </message>
    <message>
        <source>参考図ファイル %1 がありません。</source>
        <translation>The reference drawing file %1 is missing.</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>写真チェックの指摘を印刷します</source>
        <translation>Prints the photo check findings</translation>
    </message>
    <message>
        <source>CSV 出力</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>写真チェックの指摘を CSV ファイルに書き出します</source>
        <translation>Writes the photo check findings to a CSV file</translation>
    </message>
    <message>
        <source>PDF 出力</source>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>写真チェックの指摘を PDF ファイルに書き出します</source>
        <translation>Writes the photo check findings to a PDF file</translation>
    </message>
    <message>
        <source>写真チェック結果</source>
        <translation>Photo check results</translation>
    </message>
    <message>
        <source>写真帳:</source>
        <translation>Ledger:</translation>
    </message>
    <message>
        <source>すべての写真</source>
        <translation>All photos</translation>
    </message>
    <message>
        <source>表示中の写真</source>
        <translation>Photos shown</translation>
    </message>
    <message>
        <source>選択した写真</source>
        <translation>Selected photos</translation>
    </message>
    <message>
        <source>1ページ %1 枚</source>
        <translation>%1 a page</translation>
    </message>
    <message>
        <source>グループごとに改ページ</source>
        <translation>Group per page</translation>
    </message>
    <message>
        <source>参考図を載せる</source>
        <translation>Drawings</translation>
    </message>
    <message>
        <source>写真帳を印刷します（印刷プレビュー）</source>
        <translation>Prints the photo ledger (with a print preview)</translation>
    </message>
    <message>
        <source>写真帳を PDF ファイルに書き出します</source>
        <translation>Writes the photo ledger as a PDF file</translation>
    </message>
    <message>
        <source>電子納品のフォルダには書き出せません。<byte value="xd"/>別の場所を選んでください。</source>
        <translation>Nothing can be written into the delivery&apos;s folders.<byte value="xd"/>Please choose another place.</translation>
    </message>
    <message>
        <source>写真帳を書き出しています...</source>
        <translation>Writing the photo ledger...</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>ファイルに書き出せませんでした。<byte value="xd"/>%1</source>
        <translation>The file could not be written.<byte value="xd"/>%1</translation>
    </message>
    <message>
        <source>写真帳の PDF 出力</source>
        <translation>Photo ledger as PDF</translation>
    </message>
    <message>
        <source>写真帳</source>
        <translation>Photo ledger</translation>
    </message>
    <message>
        <source>写真帳の印刷</source>
        <translation>Print the photo ledger</translation>
    </message>
    <message>
        <source>写真帳を印刷しています...</source>
        <translation>Printing the photo ledger...</translation>
    </message>
</context>
<context>
    <name>TfrmSelDir</name>
    <message>
        <source>フォルダ選択</source>
        <translation>Select Folder</translation>
    </message>
    <message>
        <source>決定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>検索</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>%1文字を超えるフォルダは、データフォルダとして設定できません。</source>
        <translation>A folder whose path is longer than %1 characters cannot be the data folder.</translation>
    </message>
    <message>
        <source>%1（メディア番号 %2）</source>
        <translation>%1 (medium number %2)</translation>
    </message>
    <message>
        <source>同じ工事の媒体: %1</source>
        <translation>Media of the same construction: %1</translation>
    </message>
    <message>
        <source>、</source>
        <comment>between the media</comment>
        <translation>, </translation>
    </message>
    <message>
        <source>%1文字を超えるフォルダは設定できません。</source>
        <translation>A folder whose path is longer than %1 characters cannot be chosen.</translation>
    </message>
    <message>
        <source>選択されたフォルダにアクセスできません。<byte value="xd"/>別のフォルダを指定してください。</source>
        <translation>The selected folder cannot be accessed.<byte value="xd"/>Please choose another folder.</translation>
    </message>
    <message>
        <source>選択されたフォルダのパス名が長すぎます。<byte value="xd"/>別のフォルダを指定してください。</source>
        <translation>The path of the selected folder is too long.<byte value="xd"/>Please choose another folder.</translation>
    </message>
</context>
<context>
    <name>TfrmXML</name>
    <message>
        <source>スタイルシート</source>
        <translation>Style sheet</translation>
    </message>
    <message>
        <source>XMLコード</source>
        <translation>XML code</translation>
    </message>
    <message>
        <source>ソースコード</source>
        <translation>Source code</translation>
    </message>
    <message>
        <source>別名ファイルとして保存</source>
        <translation>Save as another file</translation>
    </message>
    <message>
        <source>写真閲覧を開く</source>
        <translation>Open the Photo Viewer</translation>
    </message>
    <message>
        <source>&apos;%1&apos; がありません。</source>
        <translation>&apos;%1&apos; is missing.</translation>
    </message>
    <message>
        <source>写真と写真管理情報は「写真閲覧」でご確認ください。</source>
        <translation>Please see the photos and their management information in the Photo Viewer.</translation>
    </message>
    <message>
        <source>写真閲覧ソフトにてご確認ください。</source>
        <translation>Please see them in the photo viewing program.</translation>
    </message>
    <message>
        <source>写真閲覧ソフトを起動します。<byte value="xd"/><byte value="xd"/>よろしいですか？</source>
        <translation>The photo viewing program will be started.<byte value="xd"/><byte value="xd"/>Do you want to continue?</translation>
    </message>
    <message>
        <source>
… 以降は表示しません（ファイルが大きいため、先頭の %1 MB だけを表示しています）。</source>
        <translation>
… The rest is not shown (the file is large: only its first %1 MB are shown).</translation>
    </message>
    <message>
        <source>検索文字列が見つかりませんでした。</source>
        <translation>The search text was not found.</translation>
    </message>
</context>
<context>
    <name>TfrmXMLErr</name>
    <message>
        <source>データチェック</source>
        <translation>Data Check</translation>
    </message>
    <message>
        <source>全ての出力データをチェックした結果、以下の不整合が見つかりました。</source>
        <translation>The check of all output data found the following inconsistencies.</translation>
    </message>
    <message>
        <source>    印刷    </source>
        <translation>    Print    </translation>
    </message>
    <message>
        <source>印刷 (Ctrl+P)</source>
        <translation>Print (Ctrl+P)</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>NO.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>管理ファイル名</source>
        <translation>Management file</translation>
    </message>
    <message>
        <source>分類名</source>
        <translation>Class</translation>
    </message>
    <message>
        <source>ファイル名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>項目名</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>出力を続行する場合は「OK」ボタンをクリックしてください。</source>
        <translation>To go on with the output, click OK.</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>データは正常です。</source>
        <translation>The data are in order.</translation>
    </message>
</context>
</TS>
