<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Application</name>
    <message>
        <source>Quillan電子納品ビューア</source>
        <translation>Quillan Electronic Delivery Viewer</translation>
    </message>
</context>
<context>
    <name>DocumentCheck</name>
    <message>
        <source>拡張子は %1 ですが、中身は %2 です</source>
        <translation>The extension is %1, but the content is %2</translation>
    </message>
    <message>
        <source>パスワードで保護されています（開けません）</source>
        <translation>Protected by a password (cannot be opened)</translation>
    </message>
    <message>
        <source>PDF として開けません</source>
        <translation>Cannot be opened as a PDF</translation>
    </message>
    <message>
        <source>ページがありません</source>
        <translation>Has no pages</translation>
    </message>
    <message>
        <source>%1 ページ</source>
        <translation>Pages: %1</translation>
    </message>
    <message>
        <source>画像として読めません</source>
        <translation>Cannot be read as an image</translation>
    </message>
    <message>
        <source>SXF の図面として読めません</source>
        <translation>Not readable as an SXF drawing</translation>
    </message>
    <message>
        <source>時間切れ</source>
        <translation>timed out</translation>
    </message>
    <message>
        <source>メモリ不足</source>
        <translation>out of memory</translation>
    </message>
    <message>
        <source>異常終了 %1</source>
        <translation>crashed: %1</translation>
    </message>
    <message>
        <source>読み取りのプロセスを起動できません: %1</source>
        <translation>the reading process could not be started: %1</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>PDF を読み取れませんでした（%1）</source>
        <translation>The PDF could not be read (%1)</translation>
    </message>
</context>
<context>
    <name>QLineEdit</name>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Paste</translation>
    </message>
</context>
<context>
    <name>TCompareView</name>
    <message>
        <source>比較(&amp;M)...</source>
        <translation>Co&amp;mpare...</translation>
    </message>
    <message>
        <source>読み込んだ納品物を以前の納品物と比較します</source>
        <translation>Compares the delivery loaded with an earlier delivery</translation>
    </message>
    <message>
        <source>比較終了</source>
        <translation>End Compare</translation>
    </message>
    <message>
        <source>変更のみ表示</source>
        <translation>Show Changes Only</translation>
    </message>
    <message>
        <source>比較結果の印刷...</source>
        <translation>Print Changes...</translation>
    </message>
    <message>
        <source>CSV 出力...</source>
        <translation>Export CSV...</translation>
    </message>
    <message>
        <source>PDF 出力...</source>
        <translation>Export PDF...</translation>
    </message>
    <message>
        <source>比較結果(&amp;R)</source>
        <translation>Compare &amp;Result</translation>
    </message>
    <message>
        <source>比較</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>比較中...</source>
        <translation>Comparing...</translation>
    </message>
    <message>
        <source>比較: 変更なし</source>
        <translation>Compare: no changes</translation>
    </message>
    <message>
        <source>比較: %1 追加 %2&#x3000;%3 変更 %4&#x3000;%5 削除 %6</source>
        <translation>Compare: %1 added %2  %3 changed %4  %5 removed %6</translation>
    </message>
    <message>
        <source>比較元（旧）: %1</source>
        <translation>Earlier delivery: %1</translation>
    </message>
    <message>
        <source>比較結果</source>
        <translation>Changes</translation>
    </message>
    <message>
        <source>PDF 出力</source>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>CSV 出力</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>%1 に書き込めませんでした。</source>
        <translation>Could not write %1.</translation>
    </message>
    <message>
        <source>比較結果は納品物のフォルダの中には保存できません。別のフォルダを選んでください。</source>
        <translation>The changes cannot be saved inside a delivery folder. Choose another folder.</translation>
    </message>
    <message>
        <source>新旧を並べて表示</source>
        <translation>Old and New Side by Side</translation>
    </message>
    <message>
        <source>新旧を並べて表示 - %1</source>
        <translation>Old and New Side by Side - %1</translation>
    </message>
    <message>
        <source>旧: %1</source>
        <translation>Old: %1</translation>
    </message>
    <message>
        <source>新: %1</source>
        <translation>New: %1</translation>
    </message>
    <message>
        <source>比較中: ファイルの内容を比べています...</source>
        <translation>Comparing: comparing the files&apos; contents...</translation>
    </message>
    <message>
        <source>比較中: 写真情報を読み込んでいます...</source>
        <translation>Comparing: reading the photo information...</translation>
    </message>
    <message>
        <source>比較中: 以前の納品物の %1 を読み込んでいます (%2枚目のメディア)...</source>
        <translation>Comparing: reading %1 of the earlier delivery (medium %2)...</translation>
    </message>
    <message>
        <source>比較中: 以前の納品物を読み込んでいます...</source>
        <translation>Comparing: reading the earlier delivery...</translation>
    </message>
</context>
<context>
    <name>TDrawingView</name>
    <message>
        <source>距離 %1</source>
        <translation>Distance %1</translation>
    </message>
    <message>
        <source>距離 %1（実長 %2 m、%3 1:%4）</source>
        <translation>Distance %1 (real length %2 m, %3 1:%4)</translation>
    </message>
    <message>
        <source>距離 %1（実長 %2 m、1:%3）</source>
        <translation>Distance %1 (real length %2 m, 1:%3)</translation>
    </message>
    <message>
        <source>2 点目をクリックしてください。</source>
        <translation>Click the second point.</translation>
    </message>
    <message>
        <source>図面を読み込んでいます…</source>
        <translation>Loading the drawing…</translation>
    </message>
    <message>
        <source>全体を表示</source>
        <translation>Fit whole</translation>
    </message>
    <message>
        <source>用紙全体を表示 (Home)</source>
        <translation>Show the whole sheet (Home)</translation>
    </message>
    <message>
        <source>＋</source>
        <translation>+</translation>
    </message>
    <message>
        <source>拡大 (+)</source>
        <translation>Zoom in (+)</translation>
    </message>
    <message>
        <source>－</source>
        <translation>−</translation>
    </message>
    <message>
        <source>縮小 (-)</source>
        <translation>Zoom out (-)</translation>
    </message>
    <message>
        <source>範囲拡大</source>
        <translation>Zoom area</translation>
    </message>
    <message>
        <source>ドラッグした範囲を拡大 (Z、Shift+ドラッグ)</source>
        <translation>Zoom to the dragged area (Z, Shift+drag)</translation>
    </message>
    <message>
        <source>距離計測</source>
        <translation>Measure</translation>
    </message>
    <message>
        <source>2 点をクリックして距離を計測 (M)</source>
        <translation>Click two points to measure the distance (M)</translation>
    </message>
    <message>
        <source>黒背景</source>
        <translation>Black background</translation>
    </message>
    <message>
        <source>背景を黒にする</source>
        <translation>Make the background black</translation>
    </message>
    <message>
        <source>印刷…</source>
        <translation>Print…</translation>
    </message>
    <message>
        <source>図面を印刷</source>
        <translation>Print the drawing</translation>
    </message>
    <message>
        <source>PDF 出力…</source>
        <translation>Export PDF…</translation>
    </message>
    <message>
        <source>用紙の大きさの PDF に出力</source>
        <translation>Export a PDF of the sheet size</translation>
    </message>
    <message>
        <source>表題欄</source>
        <translation>Title block</translation>
    </message>
    <message>
        <source>値</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>1 点目をクリックしてください。</source>
        <translation>Click the first point.</translation>
    </message>
    <message>
        <source>PDF 出力</source>
        <translation>Export PDF</translation>
    </message>
    <message>
        <source>PDF を書き込めませんでした: %1</source>
        <translation>Could not write the PDF: %1</translation>
    </message>
    <message>
        <source>SXF の図面ではないため表示できません。</source>
        <translation>Not an SXF drawing: it cannot be shown.</translation>
    </message>
    <message>
        <source>図面を最後まで読めませんでした（%1 行目: %2）。読めたところまで表示しています。</source>
        <translation>The drawing could not be read to the end (line %1: %2). What could be read is shown.</translation>
    </message>
    <message>
        <source>用紙 %1 (%2 × %3 mm)、図形 %4 個</source>
        <translation>Sheet %1 (%2 × %3 mm), %4 shapes</translation>
    </message>
    <message>
        <source>納品データのフォルダには書き出せません: %1</source>
        <translation>Nothing is written into the delivery&apos;s folders: %1</translation>
    </message>
    <message>
        <source>メモリが足りないため図面を読み込めません</source>
        <translation>Not enough memory to read the drawing</translation>
    </message>
    <message>
        <source>図面を最後まで読めませんでした（%1）。読めたところまで表示しています。</source>
        <translation>The drawing could not be read to the end (%1). What could be read is shown.</translation>
    </message>
</context>
<context>
    <name>TFindDialog</name>
    <message>
        <source>検索</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>検索する文字列(&amp;N):</source>
        <translation>Fi&amp;nd what:</translation>
    </message>
    <message>
        <source>大文字と小文字を区別する(&amp;C)</source>
        <translation>Match &amp;case</translation>
    </message>
    <message>
        <source>検索する方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>上へ(&amp;U)</source>
        <translation>&amp;Up</translation>
    </message>
    <message>
        <source>下へ(&amp;D)</source>
        <translation>&amp;Down</translation>
    </message>
    <message>
        <source>次を検索(&amp;F)</source>
        <translation>&amp;Find Next</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TFindingList</name>
    <message>
        <source>%1（%2件）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>絞り込み（全ての列）</source>
        <translation>Filter (all columns)</translation>
    </message>
    <message>
        <source>%1ごとにまとめる</source>
        <translation>Group by %1</translation>
    </message>
    <message>
        <source>%1：全て</source>
        <translation>%1: all</translation>
    </message>
    <message>
        <source>（なし）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>%1件</source>
        <translation>%1 findings</translation>
    </message>
    <message>
        <source>%1件中 %2件を表示</source>
        <translation>Showing %2 of %1</translation>
    </message>
</context>
<context>
    <name>TMessageBoxService</name>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>中止(&amp;A)</source>
        <translation>&amp;Abort</translation>
    </message>
    <message>
        <source>再試行(&amp;R)</source>
        <translation>&amp;Retry</translation>
    </message>
    <message>
        <source>無視(&amp;I)</source>
        <translation>&amp;Ignore</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
</context>
<context>
    <name>TPhotoIndex</name>
    <message>
        <source>（なし）</source>
        <translation>(none)</translation>
    </message>
</context>
<context>
    <name>TPhotoLedger</name>
    <message>
        <source>写真-大分類</source>
        <translation>Photo class</translation>
    </message>
    <message>
        <source>写真区分</source>
        <translation>Photo category</translation>
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
        <source>写真タイトル</source>
        <translation>Photo title</translation>
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
        <source>参考図</source>
        <translation>Reference drawings</translation>
    </message>
    <message>
        <source>工事名称</source>
        <translation>Project name</translation>
    </message>
    <message>
        <source>工事番号</source>
        <translation>Project number</translation>
    </message>
    <message>
        <source>写真帳</source>
        <translation>Photo ledger</translation>
    </message>
    <message>
        <source>%1 / %2 ページ</source>
        <translation>Page %1 of %2</translation>
    </message>
    <message>
        <source>印刷日 %1</source>
        <translation>Printed %1</translation>
    </message>
    <message>
        <source>写真ファイルがありません</source>
        <translation>The photo file is missing</translation>
    </message>
    <message>
        <source>写真ファイルを画像として読めません</source>
        <translation>The photo file cannot be read as an image</translation>
    </message>
    <message>
        <source>参考図ファイルがありません</source>
        <translation>The reference drawing file is missing</translation>
    </message>
    <message>
        <source>参考図を画像として読めません</source>
        <translation>The reference drawing cannot be read as an image</translation>
    </message>
</context>
<context>
    <name>TPreviewView</name>
    <message>
        <source>%1 バイト</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>納品データの外のファイル、または読めないファイルは読み込みませんでした: %1</source>
        <translation>Files outside the delivery or unreadable files were not read: %1</translation>
    </message>
    <message>
        <source>スタイルシート %1 が見つからないため、要素の一覧で表示しています。</source>
        <translation>The stylesheet %1 was not found: the elements are listed instead.</translation>
    </message>
    <message>
        <source>スタイルシート %1 を読めないため、要素の一覧で表示しています。</source>
        <translation>The stylesheet %1 cannot be read: the elements are listed instead.</translation>
    </message>
    <message>
        <source>スタイルシート %1 の変換に時間がかかりすぎるため、要素の一覧で表示しています。</source>
        <translation>The stylesheet %1 takes too long to apply: the elements are listed instead.</translation>
    </message>
    <message>
        <source>スタイルシート %1 の変換結果が大きすぎるため、要素の一覧で表示しています。</source>
        <translation>The stylesheet %1 gives too large a result: the elements are listed instead.</translation>
    </message>
    <message>
        <source>スタイルシート %1 で変換できないため、要素の一覧で表示しています。</source>
        <translation>The stylesheet %1 cannot be applied: the elements are listed instead.</translation>
    </message>
    <message>
        <source>%1 を読み込んでいます… (先頭の %2 件を表示しています)</source>
        <translation>Loading %1… (showing the first %2 records)</translation>
    </message>
    <message>
        <source>XML として読めないため、テキストとして表示しています。</source>
        <translation>Cannot be read as XML: shown as text.</translation>
    </message>
    <message>
        <source>◀ 前の %1 件</source>
        <translation>◀ Previous %1</translation>
    </message>
    <message>
        <source>次の %1 件 ▶</source>
        <translation>Next %1 ▶</translation>
    </message>
    <message>
        <source>納品データの外のファイルは開きません: %1</source>
        <translation>Files outside the delivery are not opened: %1</translation>
    </message>
    <message>
        <source>要素</source>
        <translation>Element</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>Content</translation>
    </message>
    <message>
        <source>%1 を読み込んでいます…</source>
        <translation>Loading %1…</translation>
    </message>
    <message>
        <source>◀ 前のページ</source>
        <translation>◀ Previous page</translation>
    </message>
    <message>
        <source>次のページ ▶</source>
        <translation>Next page ▶</translation>
    </message>
    <message>
        <source>幅に合わせる</source>
        <translation>Fit width</translation>
    </message>
    <message>
        <source>－</source>
        <translation>−</translation>
    </message>
    <message>
        <source>＋</source>
        <translation>+</translation>
    </message>
    <message>
        <source>全体を表示</source>
        <translation>Fit whole</translation>
    </message>
    <message>
        <source>既定のアプリケーションで開く</source>
        <translation>Open with the default application</translation>
    </message>
    <message>
        <source>この種類のファイルを開くアプリケーションが登録されていません。</source>
        <translation>No application is registered to open this kind of file.</translation>
    </message>
    <message>
        <source>ファイル名: %1</source>
        <translation>File name: %1</translation>
    </message>
    <message>
        <source>場所: %1</source>
        <translation>Location: %1</translation>
    </message>
    <message>
        <source>このファイルは存在しません。</source>
        <translation>This file does not exist.</translation>
    </message>
    <message>
        <source>種類: %1</source>
        <translation>Type: %1</translation>
    </message>
    <message>
        <source>サイズ: %1</source>
        <translation>Size: %1</translation>
    </message>
    <message>
        <source>ファイルが大きいため (%1)、先頭の %2 だけをテキストとして表示しています。</source>
        <translation>The file is large (%1): only its first %2 are shown, as text.</translation>
    </message>
    <message>
        <source>ファイルが大きいため (%1)、先頭の %2 だけを表示しています。</source>
        <translation>The file is large (%1): only its first %2 are shown.</translation>
    </message>
    <message>
        <source>1 – %1 件目 / 読み込み中…</source>
        <translation>Records 1 – %1 / loading…</translation>
    </message>
    <message>
        <source>%1 – %2 件目 / %3 件</source>
        <translation>Records %1 – %2 of %3</translation>
    </message>
    <message>
        <source>… 以降は表示しません</source>
        <translation>… not shown beyond this</translation>
    </message>
    <message>
        <source>要素が多いため、先頭の %1 個だけを表示しています。</source>
        <translation>Too many elements: only the first %1 are shown.</translation>
    </message>
    <message>
        <source>階層が深いため、%1 階層より深い要素は表示しません。</source>
        <translation>Nested too deeply: elements deeper than %1 levels are not shown.</translation>
    </message>
    <message>
        <source>PDF として読めませんでした。</source>
        <translation>Could not be read as a PDF.</translation>
    </message>
    <message>
        <source>画像として読めませんでした。</source>
        <translation>Could not be read as an image.</translation>
    </message>
    <message>
        <source>ページ番号 (入力して Enter で移動)</source>
        <translation>Page number (type one, Enter goes there)</translation>
    </message>
    <message>
        <source>表示倍率</source>
        <translation>Zoom</translation>
    </message>
</context>
<context>
    <name>TfrmFindOrg</name>
    <message>
        <source>オリジナルファイル内容</source>
        <translation>Original file content</translation>
    </message>
    <message>
        <source>検索文字列</source>
        <translation>Search text</translation>
    </message>
    <message>
        <source> 検索対象 </source>
        <translation> Search in </translation>
    </message>
    <message>
        <source>管理フォルダ</source>
        <translation>Folder</translation>
    </message>
    <message>
        <source>前を検索</source>
        <translation>Find Previous</translation>
    </message>
    <message>
        <source>次を検索</source>
        <translation>Find Next</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>(なし)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>検索文字列が見つかりませんでした。</source>
        <translation>The search text was not found.</translation>
    </message>
    <message>
        <source>打合せ簿種類</source>
        <translation>Record type</translation>
    </message>
    <message>
        <source>管理区分</source>
        <translation>Management class</translation>
    </message>
</context>
<context>
    <name>TfrmFullTextSearch</name>
    <message>
        <source>%1 ページ</source>
        <translation>page %1</translation>
    </message>
    <message>
        <source>%1 行目</source>
        <translation>line %1</translation>
    </message>
    <message>
        <source>図面の文字</source>
        <translation>drawing text</translation>
    </message>
    <message>
        <source>ファイル名</source>
        <translation>file name</translation>
    </message>
    <message>
        <source>暗号化されています</source>
        <translation>encrypted</translation>
    </message>
    <message>
        <source>壊れています</source>
        <translation>broken</translation>
    </message>
    <message>
        <source>時間内に読み終わりませんでした</source>
        <translation>not read within the time limit</translation>
    </message>
    <message>
        <source>大きすぎます</source>
        <translation>too large</translation>
    </message>
    <message>
        <source>中止されました</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>PDF を読めません</source>
        <translation>no PDF reader</translation>
    </message>
    <message>
        <source>索引が上限に達しました</source>
        <translation>the index is full</translation>
    </message>
    <message>
        <source>読めません</source>
        <translation>unreadable</translation>
    </message>
    <message>
        <source>納品物の外へのリンクです</source>
        <translation>a link out of the delivery</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>PDF ではありません</source>
        <translation>not a PDF</translation>
    </message>
    <message>
        <source>%1 (媒体 %2)</source>
        <translation>%1 (medium %2)</translation>
    </message>
    <message>
        <source>全文検索</source>
        <translation>Full-text search</translation>
    </message>
    <message>
        <source>検索する語(&amp;W):</source>
        <translation>&amp;Words:</translation>
    </message>
    <message>
        <source>語を空白で区切るとすべてを含む箇所、&quot;…&quot; で語句</source>
        <translation>Words separated by blanks find places with all of them; &quot;…&quot; a phrase</translation>
    </message>
    <message>
        <source>検索(&amp;S)</source>
        <translation>&amp;Search</translation>
    </message>
    <message>
        <source>場所</source>
        <translation>Where</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>理由</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message numerus="yes">
        <source>%n 件</source>
        <translation>
            <numerusform>%n hit</numerusform>
            <numerusform>%n hits</numerusform>
        </translation>
    </message>
    <message>
        <source>索引作成中: %1 / %2 ファイル (索引のできたファイルだけを検索します)</source>
        <translation>Indexing: %1 / %2 files (only the files indexed so far are searched)</translation>
    </message>
    <message>
        <source>見つかりませんでした。</source>
        <translation>Nothing found.</translation>
    </message>
    <message>
        <source>最初の %1 件を表示しています (%2 ファイル)。</source>
        <translation>The first %1 hits are shown (in files: %2).</translation>
    </message>
    <message>
        <source>%1 件 (%2 ファイル)</source>
        <translation>Hits: %1, in files: %2</translation>
    </message>
    <message>
        <source>検索できなかったファイル: %1</source>
        <translation>Files not searched: %1</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>読み込み中... %1 (%2枚目のメディア)</source>
        <translation>Loading... %1 (medium %2)</translation>
    </message>
    <message>
        <source>読み込み中... %1</source>
        <translation>Loading... %1</translation>
    </message>
    <message>
        <source>フォルダ選択(&amp;S)...</source>
        <translation>&amp;Select Folder...</translation>
    </message>
    <message>
        <source>基礎情報(&amp;B)...</source>
        <translation>&amp;Basic Information...</translation>
    </message>
    <message>
        <source>データチェック(&amp;C)...</source>
        <translation>Data &amp;Check...</translation>
    </message>
    <message>
        <source>電子納品チェック(&amp;D)...</source>
        <translation>&amp;Delivery Check...</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>XML出力(&amp;O)...</source>
        <translation>XML &amp;Output...</translation>
    </message>
    <message>
        <source>印刷(&amp;P)...</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>ラベル印刷(&amp;L)...</source>
        <translation>Print &amp;Labels...</translation>
    </message>
    <message>
        <source>表示スタイル(&amp;Y)</source>
        <translation>Displa&amp;y Style</translation>
    </message>
    <message>
        <source>ツリー表示(&amp;T)</source>
        <translation>&amp;Tree View</translation>
    </message>
    <message>
        <source>前項目(&amp;P)</source>
        <translation>&amp;Previous Item</translation>
    </message>
    <message>
        <source>次項目(&amp;N)</source>
        <translation>&amp;Next Item</translation>
    </message>
    <message>
        <source>一般データファイル(&amp;G)...</source>
        <translation>&amp;General Data Files...</translation>
    </message>
    <message>
        <source>登録ファイル(&amp;R)...</source>
        <translation>&amp;Registered Files...</translation>
    </message>
    <message>
        <source>オリジナルファイル内容(&amp;O)...</source>
        <translation>&amp;Original File Content...</translation>
    </message>
    <message>
        <source>XMLファイル内(&amp;X)...</source>
        <translation>In the &amp;XML File...</translation>
    </message>
    <message>
        <source>新規フォルダ(&amp;F)</source>
        <translation>New &amp;Folder</translation>
    </message>
    <message>
        <source>新規分類(&amp;C)</source>
        <translation>New &amp;Class</translation>
    </message>
    <message>
        <source>書類添付(&amp;A)...</source>
        <translation>&amp;Attach Document...</translation>
    </message>
    <message>
        <source>名前の変更(&amp;R)</source>
        <translation>&amp;Rename</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>上へ移動(&amp;U)</source>
        <translation>Move &amp;Up</translation>
    </message>
    <message>
        <source>下へ移動(&amp;I)</source>
        <translation>Move Do&amp;wn</translation>
    </message>
    <message>
        <source>日本語(&amp;J)</source>
        <translation>&amp;Japanese</translation>
    </message>
    <message>
        <source>英語(&amp;E)</source>
        <translation>&amp;English</translation>
    </message>
    <message>
        <source>日本語（英語）(&amp;A)</source>
        <translation>J&amp;apanese (English)</translation>
    </message>
    <message>
        <source>英語（日本語）(&amp;B)</source>
        <translation>E&amp;nglish (Japanese)</translation>
    </message>
    <message>
        <source>自動（システムの言語）</source>
        <translation>Automatic (system language)</translation>
    </message>
    <message>
        <source>ファイル名を表示(&amp;N)</source>
        <translation>Show File &amp;Names</translation>
    </message>
    <message>
        <source>管理ファイル名を表示(&amp;M)</source>
        <translation>Show &amp;Management File Names</translation>
    </message>
    <message>
        <source>電子納品オリジナルファイル名を表示(&amp;C)</source>
        <translation>Show &amp;Delivery File Names</translation>
    </message>
    <message>
        <source>オリジナルファイル内容を表示(&amp;O)</source>
        <translation>Show &amp;Original File Content</translation>
    </message>
    <message>
        <source>DC表示(&amp;D)</source>
        <translation>&amp;DC View</translation>
    </message>
    <message>
        <source>納品表示(&amp;L)</source>
        <translation>De&amp;livery View</translation>
    </message>
    <message>
        <source>オリジナルファイル作成ソフトバージョン情報(&amp;S)</source>
        <translation>Original File &amp;Software Version</translation>
    </message>
    <message>
        <source>オリジナルファイル内容(&amp;C)</source>
        <translation>Original File &amp;Content</translation>
    </message>
    <message>
        <source>更新(&amp;R)</source>
        <translation>&amp;Refresh</translation>
    </message>
    <message>
        <source>検索</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>エクスプローラ(&amp;E)</source>
        <translation>&amp;Explore Folder</translation>
    </message>
    <message>
        <source>写真閲覧(&amp;X)</source>
        <translation>&amp;Photo Viewer</translation>
    </message>
    <message>
        <source>メール(&amp;M)</source>
        <translation>&amp;Mail</translation>
    </message>
    <message>
        <source>データベース(&amp;D)</source>
        <translation>&amp;Database</translation>
    </message>
    <message>
        <source>目次(&amp;C)</source>
        <translation>&amp;Contents</translation>
    </message>
    <message>
        <source>キーワードで検索(&amp;K)</source>
        <translation>Search by &amp;Keyword</translation>
    </message>
    <message>
        <source>操作説明(&amp;E)</source>
        <translation>How to Us&amp;e</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)...</source>
        <translation>&amp;About...</translation>
    </message>
    <message>
        <source>オリジナルファイル内容検索(&amp;S)...</source>
        <translation>&amp;Search Original File Content...</translation>
    </message>
    <message>
        <source>昇順(&amp;U)</source>
        <translation>&amp;Ascending</translation>
    </message>
    <message>
        <source>降順(&amp;D)</source>
        <translation>&amp;Descending</translation>
    </message>
    <message>
        <source>標準に戻す(&amp;I)</source>
        <translation>Default &amp;Order</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>検索(&amp;F)</source>
        <translation>&amp;Find</translation>
    </message>
    <message>
        <source>並べ替え(&amp;S)</source>
        <translation>&amp;Sort</translation>
    </message>
    <message>
        <source>打合せ簿(&amp;M)</source>
        <translation>&amp;Meeting Records</translation>
    </message>
    <message>
        <source>発行日付(&amp;P)</source>
        <translation>&amp;Issue Date</translation>
    </message>
    <message>
        <source>受理日付(&amp;A)</source>
        <translation>&amp;Acceptance Date</translation>
    </message>
    <message>
        <source>完了日付(&amp;F)</source>
        <translation>&amp;Finish Date</translation>
    </message>
    <message>
        <source>施工計画書(&amp;P)</source>
        <translation>Construction &amp;Plans</translation>
    </message>
    <message>
        <source>その他(&amp;O)</source>
        <translation>&amp;Other Documents</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>ツリー表示言語(&amp;L)</source>
        <translation>Tree &amp;Language</translation>
    </message>
    <message>
        <source>ファイル名表示(&amp;F)</source>
        <translation>&amp;File Names</translation>
    </message>
    <message>
        <source>ヒント表示(&amp;H)</source>
        <translation>&amp;Hints</translation>
    </message>
    <message>
        <source>設定(&amp;O)</source>
        <translation>Se&amp;ttings</translation>
    </message>
    <message>
        <source>プログラム(&amp;P)</source>
        <translation>&amp;Programs</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>フォルダ選択</source>
        <translation>Select Folder</translation>
    </message>
    <message>
        <source>基礎情報</source>
        <translation>Basic Info</translation>
    </message>
    <message>
        <source>データチェック</source>
        <translation>Data Check</translation>
    </message>
    <message>
        <source>電子納品チェック</source>
        <translation>Delivery Check</translation>
    </message>
    <message>
        <source>前項目</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>次項目</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>エクスプローラ</source>
        <translation>Explore</translation>
    </message>
    <message>
        <source>写真閲覧</source>
        <translation>Photos</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>電子納品のフォルダが開かれていません。

「フォルダ選択」で、INDEX_C.XML のあるフォルダを選んでください。</source>
        <translation>No delivery folder is open.

With &quot;Select Folder&quot;, choose the folder that holds INDEX_C.XML.</translation>
    </message>
    <message>
        <source>ここに移動(&amp;M)</source>
        <translation>&amp;Move Here</translation>
    </message>
    <message>
        <source>ここにコピー(&amp;C)</source>
        <translation>&amp;Copy Here</translation>
    </message>
    <message>
        <source>リンク情報を作成(&amp;L)</source>
        <translation>Create &amp;Link</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>読み込み中...</source>
        <translation>Loading...</translation>
    </message>
    <message>
        <source>要領: %1</source>
        <translation>Guideline: %1</translation>
    </message>
    <message>
        <source>表示言語は次回の起動から変わります。今すぐ再起動しますか？</source>
        <translation>The display language changes at the next start. Restart now?</translation>
    </message>
    <message>
        <source>再起動できませんでした。次回の起動から表示言語が変わります。</source>
        <translation>Could not restart. The display language changes at the next start.</translation>
    </message>
    <message>
        <source>&#x3000;メディア番号 %1：%2</source>
        <translation>  Medium number %1: %2</translation>
    </message>
    <message>
        <source>同じ工事の他の媒体が見つかりました。<byte value="xd"/><byte value="xd"/>%1<byte value="xd"/>これらの媒体を読み込みますか？</source>
        <translation>Other media of the same construction were found.<byte value="xd"/><byte value="xd"/>%1<byte value="xd"/>Load these media?</translation>
    </message>
    <message>
        <source>データは正常です。</source>
        <translation>The data is correct.</translation>
    </message>
    <message>
        <source>%1件の不整合が見つかりました。</source>
        <translation>%1 inconsistencies were found.</translation>
    </message>
    <message>
        <source>電子納品チェック中...</source>
        <translation>Checking the delivery...</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>中止しています...</source>
        <translation>Stopping...</translation>
    </message>
    <message>
        <source>エクスプローラが起動できませんでした。</source>
        <translation>The file manager could not be started.</translation>
    </message>
    <message>
        <source>XMLビューアが起動できませんでした。</source>
        <translation>The XML viewer could not be started.</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>About</translation>
    </message>
    <message>
        <source>メディアまたは、ファイルが変更されました。
<byte value="xd"/>
<byte value="xd"/>更新(F5)を行ってください。</source>
        <translation>The medium or files have changed.
<byte value="xd"/>
<byte value="xd"/>Please refresh (F5).</translation>
    </message>
    <message>
        <source>メディアまたは、ファイルが変更されました。更新(F5)を行ってください。</source>
        <translation>The medium or files have changed. Please refresh (F5).</translation>
    </message>
    <message>
        <source>電子納品ビューア</source>
        <translation>Delivery Viewer</translation>
    </message>
    <message>
        <source>同じ工事の媒体 %1 が既に読み込まれています。新しい納品物として開き直しますか？</source>
        <translation>Medium %1 of this delivery is open already. Open this folder as a new delivery instead?</translation>
    </message>
    <message>
        <source>「%1」はツリーにないため、最も近い項目を選びました。</source>
        <translation>“%1” is not in the tree; the nearest item is selected.</translation>
    </message>
    <message>
        <source>全文索引 %1 / %2</source>
        <translation>Text index %1 / %2</translation>
    </message>
    <message>
        <source>全文検索(&amp;T)...</source>
        <translation>Full-&amp;text search...</translation>
    </message>
</context>
<context>
    <name>TfrmSrcTree</name>
    <message>
        <source>登録ファイル</source>
        <translation>Registered files</translation>
    </message>
    <message>
        <source>検索する文字列</source>
        <translation>Find what</translation>
    </message>
    <message>
        <source>ファイル名、ファイル内容より検索する文字列を入力して下さい。</source>
        <translation>Enter the text to find in file names and file contents.</translation>
    </message>
    <message>
        <source>次を検索</source>
        <translation>Find Next</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>大文字と小文字を区別する</source>
        <translation>Match case</translation>
    </message>
    <message>
        <source> 検索する方向 </source>
        <translation> Direction </translation>
    </message>
    <message>
        <source>上へ</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>下へ</source>
        <translation>Down</translation>
    </message>
</context>
</TS>
