<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>CliCheck</name>
    <message>
        <source>管理項目名</source>
        <translation>Management item</translation>
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
        <translation>State</translation>
    </message>
    <message>
        <source>データは正常です。</source>
        <translation>The data is valid.</translation>
    </message>
    <message>
        <source>全ての出力データをチェックした結果、以下の不整合が見つかりました。</source>
        <translation>Checking all the output data found the following inconsistencies.</translation>
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
        <source>電子納品チェックで問題は見つかりませんでした。</source>
        <translation>The delivery check found no problems.</translation>
    </message>
    <message>
        <source>電子納品チェックの結果、以下の問題が見つかりました。</source>
        <translation>The delivery check found the following problems.</translation>
    </message>
    <message>
        <source>同じ工事の媒体が隣にあります（続けて指定できます）: %1（メディア番号 %2）</source>
        <translation>A medium of the same construction lies beside it (it can be given too): %1 (medium number %2)</translation>
    </message>
    <message>
        <source>要領の版: %1</source>
        <translation>Guideline edition: %1</translation>
    </message>
</context>
<context>
    <name>CliDiff</name>
    <message>
        <source>追加</source>
        <translation>added</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>removed</translation>
    </message>
    <message>
        <source>変更</source>
        <translation>changed</translation>
    </message>
    <message>
        <source>移動</source>
        <translation>moved</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>file</translation>
    </message>
    <message>
        <source>記録</source>
        <translation>record</translation>
    </message>
    <message>
        <source>項目</source>
        <translation>field</translation>
    </message>
    <message>
        <source>比較元（旧）: %1</source>
        <translation>Earlier (old): %1</translation>
    </message>
    <message>
        <source>比較先（新）: %1</source>
        <translation>Resubmitted (new): %1</translation>
    </message>
    <message>
        <source>相違はありません。</source>
        <translation>The deliveries are the same.</translation>
    </message>
    <message>
        <source>相違が %1 件あります。</source>
        <translation>%1 differences found.</translation>
    </message>
    <message>
        <source>読み取れないファイル: %1（%2）</source>
        <translation>File that cannot be read: %1 (%2)</translation>
    </message>
</context>
<context>
    <name>CliHtml</name>
    <message>
        <source>作業用のコピーを作れません。</source>
        <translation>Cannot make the working copy.</translation>
    </message>
    <message>
        <source>スタイルシートの指定がありません。</source>
        <translation>No stylesheet is given.</translation>
    </message>
    <message>
        <source>スタイルシート %1 が見つかりません。</source>
        <translation>Stylesheet %1 not found.</translation>
    </message>
    <message>
        <source>スタイルシート %1 を読めません。</source>
        <translation>Cannot read stylesheet %1.</translation>
    </message>
    <message>
        <source>スタイルシート %1 で変換できません。</source>
        <translation>Cannot transform with stylesheet %1.</translation>
    </message>
    <message>
        <source>スタイルシート %1 の変換に時間がかかりすぎます。</source>
        <translation>The transformation with stylesheet %1 takes too long.</translation>
    </message>
    <message>
        <source>スタイルシート %1 の変換結果が大きすぎます。</source>
        <translation>The result of stylesheet %1 is too large.</translation>
    </message>
    <message>
        <source>読み込みを拒否: %1</source>
        <translation>Refused to read: %1</translation>
    </message>
    <message>
        <source>作業フォルダを作れません。</source>
        <translation>Cannot make the working folder.</translation>
    </message>
    <message>
        <source>%1 行目: %2</source>
        <translation>line %1: %2</translation>
    </message>
</context>
<context>
    <name>CliPhotos</name>
    <message>
        <source>読み込んだメディアに写真管理ファイル（PHOTO/PHOTO.XML）がありません。</source>
        <translation>No medium loaded has a photo management file (PHOTO/PHOTO.XML).</translation>
    </message>
</context>
<context>
    <name>CliScan</name>
    <message>
        <source>フォルダを読めません: %1</source>
        <translation>Cannot read the folder: %1</translation>
    </message>
    <message>
        <source>%1 階層より深いフォルダは調べません: %2</source>
        <translation>Folders deeper than %1 levels are not searched: %2</translation>
    </message>
    <message>
        <source>folder,工事番号,工事名称,media,errors,warnings,seconds,result,detail</source>
        <translation>folder,construction number,construction name,media,errors,warnings,seconds,result,detail</translation>
    </message>
    <message>
        <source>%1 / %2 件</source>
        <translation>%1 / %2</translation>
    </message>
    <message>
        <source>終了コード %1</source>
        <translation>exit code %1</translation>
    </message>
    <message>
        <source>チェックのプロセスを起動できません: %1</source>
        <translation>Cannot start a check process: %1</translation>
    </message>
    <message>
        <source>出力が大きすぎます</source>
        <translation>output too large</translation>
    </message>
    <message>
        <source>%1 秒で打ち切りました</source>
        <translation>stopped after %1 seconds</translation>
    </message>
    <message>
        <source>シグナル %1 (%2) で終了しました</source>
        <translation>ended by signal %1 (%2)</translation>
    </message>
    <message>
        <source>納品データ（INDEX_C.XML のあるフォルダ）が見つかりません: %1</source>
        <translation>No delivery (a folder holding INDEX_C.XML) found: %1</translation>
    </message>
</context>
</TS>
