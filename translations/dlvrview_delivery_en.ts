<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>FieldNames</name>
    <message>
        <source>シリアル番号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>写真ファイル名</source>
        <translation>Photo file name</translation>
    </message>
    <message>
        <source>メディア番号</source>
        <translation>Medium number</translation>
    </message>
    <message>
        <source>写真-大分類</source>
        <translation>Photo major category</translation>
    </message>
    <message>
        <source>写真タイトル</source>
        <translation>Photo title</translation>
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
        <source>参考図ファイル名</source>
        <translation>Reference drawing file name</translation>
    </message>
    <message>
        <source>参考図タイトル</source>
        <translation>Reference drawing title</translation>
    </message>
</context>
<context>
    <name>Media</name>
    <message>
        <source>メディアが挿入されていないか、デバイスの準備ができていません。<byte value="xd"/><byte value="xd"/>メディアを確認してください。</source>
        <translation>No medium is inserted, or the device is not ready.<byte value="xd"/><byte value="xd"/>Please check the medium.</translation>
    </message>
</context>
<context>
    <name>PhotoCheck</name>
    <message>
        <source>情報未記入</source>
        <translation>Not filled in</translation>
    </message>
    <message>
        <source>ファイル名が不正</source>
        <translation>Invalid file name</translation>
    </message>
    <message>
        <source>ファイルなし</source>
        <translation>File missing</translation>
    </message>
    <message>
        <source>管理ファイルに記載なし</source>
        <translation>Not listed in the management file</translation>
    </message>
    <message>
        <source>日付が不正</source>
        <translation>Invalid date</translation>
    </message>
    <message>
        <source>管理ファイル</source>
        <translation>Management file</translation>
    </message>
    <message>
        <source>%1行目: %2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>%1枚目のメディアが読み込まれていません</source>
        <translation>Medium %1 is not loaded</translation>
    </message>
    <message>
        <source>JPEG以外</source>
        <translation>Not a JPEG</translation>
    </message>
    <message>
        <source>JPEG以外（%1）</source>
        <translation>Not a JPEG (%1)</translation>
    </message>
    <message>
        <source>画素数が範囲外（%1×%2）</source>
        <translation>Pixel count out of range (%1×%2)</translation>
    </message>
    <message>
        <source>編集ソフトの記録あり（%1）</source>
        <translation>Edited with image software (%1)</translation>
    </message>
    <message>
        <source>Exif撮影日（%1）と不一致</source>
        <translation>Differs from the EXIF date taken (%1)</translation>
    </message>
    <message>
        <source>JPEG・TIFF以外</source>
        <translation>Neither JPEG nor TIFF</translation>
    </message>
    <message>
        <source>JPEG・TIFF以外（%1）</source>
        <translation>Neither JPEG nor TIFF (%1)</translation>
    </message>
    <message>
        <source>工期外の日付（着手前の撮影もあるため警告）</source>
        <translation>Date outside the construction period (a warning: photos may be taken before the work starts)</translation>
    </message>
    <message>
        <source>0 か 1 ではない値</source>
        <translation>Neither 0 nor 1</translation>
    </message>
    <message>
        <source>大文字・小文字の違う名前（%1）で保存</source>
        <translation>Stored under a name in other case (%1)</translation>
    </message>
    <message>
        <source>%1件の記録（シリアル番号 %2）が同じファイルを指しています</source>
        <translation>%1 records (serial numbers %2) name the same file</translation>
    </message>
    <message>
        <source>%1枚目のメディアになく、%2枚目にあります</source>
        <translation>Not on medium %1 but on medium %2</translation>
    </message>
</context>
<context>
    <name>PhotoReader</name>
    <message>
        <source>読み込める量の上限を超えたため、ここで読込を打ち切りました。</source>
        <translation>Reading stopped here: the file holds more than can be read.</translation>
    </message>
    <message>
        <source>ファイルが空です。</source>
        <translation>The file is empty.</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます。</source>
        <translation>The file is too large.</translation>
    </message>
    <message>
        <source>ファイルを読み込めません。</source>
        <translation>The file cannot be read.</translation>
    </message>
    <message>
        <source>XML として正しくありません。</source>
        <translation>Not well-formed XML.</translation>
    </message>
</context>
<context>
    <name>SxfReader</name>
    <message>
        <source>#%1 が参照する #%2 がありません</source>
        <translation>#%2, referenced by #%1, does not exist</translation>
    </message>
    <message>
        <source>#%1 の入れ子が深すぎます</source>
        <translation>#%1 is nested too deeply</translation>
    </message>
    <message>
        <source>#%1 の配置が循環しています</source>
        <translation>The placement of #%1 is circular</translation>
    </message>
    <message>
        <source>メモリが足りないため図面を読み込めません</source>
        <translation>Not enough memory to read the drawing</translation>
    </message>
    <message>
        <source>SXF の図面ではありません</source>
        <translation>Not an SXF drawing</translation>
    </message>
    <message>
        <source>ファイルを読み込めません</source>
        <translation>The file cannot be read</translation>
    </message>
    <message>
        <source>%1 の後に &apos;;&apos; がありません</source>
        <translation>No &apos;;&apos; after %1</translation>
    </message>
    <message>
        <source>使えない文字があります（%1）</source>
        <translation>Invalid character (%1)</translation>
    </message>
    <message>
        <source>注釈が閉じていません</source>
        <translation>Unclosed comment</translation>
    </message>
    <message>
        <source>注釈が長すぎます</source>
        <translation>Comment too long</translation>
    </message>
    <message>
        <source>&apos;#&apos; の後に番号がありません</source>
        <translation>No number after &apos;#&apos;</translation>
    </message>
    <message>
        <source>インスタンス番号が大きすぎます</source>
        <translation>Instance number too large</translation>
    </message>
    <message>
        <source>文字列が閉じていません</source>
        <translation>Unclosed string</translation>
    </message>
    <message>
        <source>文字列が長すぎます</source>
        <translation>String too long</translation>
    </message>
    <message>
        <source>バイナリ値が正しくありません</source>
        <translation>Invalid binary value</translation>
    </message>
    <message>
        <source>バイナリ値が長すぎます</source>
        <translation>Binary value too long</translation>
    </message>
    <message>
        <source>列挙値が長すぎます</source>
        <translation>Enumeration value too long</translation>
    </message>
    <message>
        <source>列挙値が &apos;.&apos; で閉じていません</source>
        <translation>Enumeration value not closed with &apos;.&apos;</translation>
    </message>
    <message>
        <source>数値が正しくありません</source>
        <translation>Invalid number</translation>
    </message>
    <message>
        <source>数値の指数が正しくありません</source>
        <translation>Invalid exponent in a number</translation>
    </message>
    <message>
        <source>数値が長すぎます</source>
        <translation>Number too long</translation>
    </message>
    <message>
        <source>名前が長すぎます</source>
        <translation>Name too long</translation>
    </message>
    <message>
        <source>ISO 10303-21 の交換構造ではありません（先頭に ISO-10303-21; がありません）</source>
        <translation>Not an ISO 10303-21 exchange structure (no ISO-10303-21; at the start)</translation>
    </message>
    <message>
        <source>END-ISO-10303-21; の前でファイルが終わっています</source>
        <translation>The file ends before END-ISO-10303-21;</translation>
    </message>
    <message>
        <source>セクションの始まりがありません</source>
        <translation>Start of a section missing</translation>
    </message>
    <message>
        <source>ヘッダ部の途中でファイルが終わっています</source>
        <translation>The file ends inside the header section</translation>
    </message>
    <message>
        <source>ヘッダ部にエンティティ名がありません</source>
        <translation>Entity name missing in the header section</translation>
    </message>
    <message>
        <source>%1 の後に &apos;(&apos; がありません</source>
        <translation>No &apos;(&apos; after %1</translation>
    </message>
    <message>
        <source>データ部の途中でファイルが終わっています（ENDSEC; がありません）</source>
        <translation>The file ends inside the data section (no ENDSEC;)</translation>
    </message>
    <message>
        <source>インスタンスの始まり（#番号=）がありません</source>
        <translation>Start of an instance (#number=) missing</translation>
    </message>
    <message>
        <source>%1 の後に &apos;=&apos; がありません</source>
        <translation>No &apos;=&apos; after %1</translation>
    </message>
    <message>
        <source>複合インスタンスにエンティティ名がありません</source>
        <translation>Entity name missing in a complex instance</translation>
    </message>
    <message>
        <source>%1 の複合インスタンスが空です</source>
        <translation>The complex instance %1 is empty</translation>
    </message>
    <message>
        <source>%1 にエンティティ名がありません</source>
        <translation>Entity name missing in %1</translation>
    </message>
    <message>
        <source>%1 の後に &apos;;&apos; がありません（括弧の対応がとれていません）</source>
        <translation>No &apos;;&apos; after %1 (unbalanced parentheses)</translation>
    </message>
    <message>
        <source>%1 の %2 の後に &apos;(&apos; がありません</source>
        <translation>No &apos;(&apos; after %2 in %1</translation>
    </message>
    <message>
        <source>%1 セクションの途中でファイルが終わっています</source>
        <translation>The file ends inside the %1 section</translation>
    </message>
    <message>
        <source>%1 の括弧の入れ子が深すぎます</source>
        <translation>Parentheses nested too deeply in %1</translation>
    </message>
    <message>
        <source>%1 の括弧が閉じていません</source>
        <translation>Unclosed parenthesis in %1</translation>
    </message>
    <message>
        <source>%1 の値の後に &apos;,&apos; か &apos;)&apos; がありません</source>
        <translation>No &apos;,&apos; or &apos;)&apos; after a value in %1</translation>
    </message>
    <message>
        <source>%1 に値がありません</source>
        <translation>Value missing in %1</translation>
    </message>
    <message>
        <source>ファイルが途中で終わっています</source>
        <translation>The file ends unexpectedly</translation>
    </message>
    <message>
        <source>ファイルが %1 の途中で終わっています</source>
        <translation>The file ends inside %1</translation>
    </message>
    <message>
        <source>ファイルを開けません</source>
        <translation>The file cannot be opened</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>インスタンス番号（#n）がありません</source>
        <translation>Instance number (#n) missing</translation>
    </message>
    <message>
        <source>「=」がありません</source>
        <translation>&apos;=&apos; missing</translation>
    </message>
    <message>
        <source>フィーチャ名がありません</source>
        <translation>Feature name missing</translation>
    </message>
    <message>
        <source>引数の「(」がありません</source>
        <translation>&apos;(&apos; before the arguments missing</translation>
    </message>
    <message>
        <source>括弧が閉じていません</source>
        <translation>Unclosed parenthesis</translation>
    </message>
    <message>
        <source>引数の区切りが正しくありません</source>
        <translation>Invalid argument separator</translation>
    </message>
    <message>
        <source>括弧の対応が正しくありません</source>
        <translation>Unbalanced parentheses</translation>
    </message>
    <message>
        <source>フィーチャの後に余分な文字があります</source>
        <translation>Extra characters after the feature</translation>
    </message>
    <message>
        <source>ISO-10303-21 の交換ファイルではありません</source>
        <translation>Not an ISO-10303-21 exchange file</translation>
    </message>
    <message>
        <source>フィーチャのコメントが閉じないままファイルが終わっています</source>
        <translation>The file ends inside an unclosed feature comment</translation>
    </message>
    <message>
        <source>コメントが長すぎます</source>
        <translation>Comment too long</translation>
    </message>
    <message>
        <source>フィーチャ</source>
        <translation>Feature</translation>
    </message>
    <message>
        <source>（読めないフィーチャ）</source>
        <translation>(unreadable feature)</translation>
    </message>
    <message>
        <source>複合図形「%1」が定義されていません</source>
        <translation>Composite figure &quot;%1&quot; is not defined</translation>
    </message>
    <message>
        <source>複合図形「%1」の配置が循環しています</source>
        <translation>The placement of composite figure &quot;%1&quot; is circular</translation>
    </message>
    <message>
        <source>複合図形「%1」の入れ子が深すぎます</source>
        <translation>Composite figure &quot;%1&quot; is nested too deeply</translation>
    </message>
    <message>
        <source>ファイルが途中で終わっています（END-ISO-10303-21; がありません）</source>
        <translation>The file ends unexpectedly (no END-ISO-10303-21;)</translation>
    </message>
    <message>
        <source>メモリが足りないため図形の展開を打ち切りました</source>
        <translation>Not enough memory: stopped expanding the shapes</translation>
    </message>
    <message>
        <source>メモリが足りないため読み込みを打ち切りました</source>
        <translation>Not enough memory: stopped reading</translation>
    </message>
    <message>
        <source>図面が大きすぎるため、%1 個の要素まで読み込みました</source>
        <translation>The drawing is too large: read up to %1 elements</translation>
    </message>
</context>
<context>
    <name>SxfTitleBlock</name>
    <message>
        <source>事業名</source>
        <translation>Project name</translation>
    </message>
    <message>
        <source>工事名</source>
        <translation>Construction name</translation>
    </message>
    <message>
        <source>契約区分</source>
        <translation>Contract type</translation>
    </message>
    <message>
        <source>図面名</source>
        <translation>Drawing name</translation>
    </message>
    <message>
        <source>図面番号</source>
        <translation>Drawing number</translation>
    </message>
    <message>
        <source>図面種別</source>
        <translation>Drawing type</translation>
    </message>
    <message>
        <source>尺度</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>作成日</source>
        <translation>Date created</translation>
    </message>
    <message>
        <source>受注会社名</source>
        <translation>Contractor</translation>
    </message>
    <message>
        <source>発注事業者名</source>
        <translation>Orderer</translation>
    </message>
</context>
<context>
    <name>XmlSandbox</name>
    <message>
        <source>納品データの外にあるか、存在しません。</source>
        <translation>Outside the delivery, or does not exist.</translation>
    </message>
    <message>
        <source>通常のファイルではありません。</source>
        <translation>Not a regular file.</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます。</source>
        <translation>The file is too large.</translation>
    </message>
    <message>
        <source>ファイルを読み込めません。</source>
        <translation>The file cannot be read.</translation>
    </message>
    <message>
        <source>XML として正しくありません。</source>
        <translation>Not well-formed XML.</translation>
    </message>
</context>
</TS>
