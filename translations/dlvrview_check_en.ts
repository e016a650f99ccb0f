<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>CompareReport</name>
    <message>
        <source>追加</source>
        <translation>Added</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Removed</translation>
    </message>
    <message>
        <source>変更</source>
        <translation>Changed</translation>
    </message>
    <message>
        <source>移動</source>
        <translation>Moved</translation>
    </message>
    <message>
        <source>ファイル</source>
        <translation>File</translation>
    </message>
    <message>
        <source>記録</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>項目</source>
        <translation>Field</translation>
    </message>
    <message>
        <source>対象</source>
        <translation>Of</translation>
    </message>
    <message>
        <source>場所</source>
        <translation>Where</translation>
    </message>
    <message>
        <source>旧</source>
        <translation>Old</translation>
    </message>
    <message>
        <source>新</source>
        <translation>New</translation>
    </message>
    <message>
        <source>比較結果</source>
        <translation>Comparison of deliveries</translation>
    </message>
    <message>
        <source>工事名称: %1&#x3000;工事番号: %2</source>
        <translation>Construction name: %1   Construction number: %2</translation>
    </message>
    <message>
        <source>作成日: %1</source>
        <translation>Date: %1</translation>
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
</context>
<context>
    <name>DataCheck</name>
    <message>
        <source>工事管理</source>
        <translation>Construction</translation>
    </message>
    <message>
        <source>発注図面管理</source>
        <translation>Order drawings</translation>
    </message>
    <message>
        <source>打合せ簿管理</source>
        <translation>Meeting records</translation>
    </message>
    <message>
        <source>施工計画書管理</source>
        <translation>Construction plans</translation>
    </message>
    <message>
        <source>完成図面管理</source>
        <translation>Final drawings</translation>
    </message>
    <message>
        <source>その他管理</source>
        <translation>Other documents</translation>
    </message>
    <message>
        <source>選択されているフォルダ &apos;%1&apos; には、<byte value="xd"/>必要なファイルが見つかりません。<byte value="xd"/><byte value="xd"/>フォルダ選択ボタンをクリックし正しいメディアを選択してください。</source>
        <translation>The selected folder &apos;%1&apos;<byte value="xd"/>does not hold the files needed.<byte value="xd"/><byte value="xd"/>Click the folder selection button and choose the right medium.</translation>
    </message>
    <message>
        <source>日付が不正</source>
        <translation>Invalid date</translation>
    </message>
    <message>
        <source>情報未記入</source>
        <translation>Not filled in</translation>
    </message>
    <message>
        <source>同名ファイルあり</source>
        <translation>Duplicate file name</translation>
    </message>
    <message>
        <source>文字数が不正</source>
        <translation>Invalid length</translation>
    </message>
    <message>
        <source>データ表現が不正</source>
        <translation>Invalid characters</translation>
    </message>
    <message>
        <source>発注／請負者以外</source>
        <translation>Neither orderer nor contractor</translation>
    </message>
    <message>
        <source>フォルダ名が不正</source>
        <translation>Invalid folder name</translation>
    </message>
    <message>
        <source>規定文字以外</source>
        <translation>Not an allowed value</translation>
    </message>
    <message>
        <source>管理ファイル</source>
        <translation>Management file</translation>
    </message>
    <message>
        <source>ファイルを読み込めません。</source>
        <translation>The file cannot be read.</translation>
    </message>
</context>
<context>
    <name>ExtendedCheck</name>
    <message>
        <source>記載ファイルの存在</source>
        <translation>Listed file exists</translation>
    </message>
    <message>
        <source>空のファイル</source>
        <translation>Empty file</translation>
    </message>
    <message>
        <source>記載のないファイル</source>
        <translation>Unlisted file</translation>
    </message>
    <message>
        <source>ファイル名の規則</source>
        <translation>File name rule</translation>
    </message>
    <message>
        <source>フォルダ名の規則</source>
        <translation>Folder name rule</translation>
    </message>
    <message>
        <source>媒体間の重複</source>
        <translation>Same file on several media</translation>
    </message>
    <message>
        <source>規定外のフォルダ</source>
        <translation>Non-standard folder</translation>
    </message>
    <message>
        <source>フォルダの深さ</source>
        <translation>Folder depth</translation>
    </message>
    <message>
        <source>パスの長さ</source>
        <translation>Path length</translation>
    </message>
    <message>
        <source>不要なファイル</source>
        <translation>Unneeded file</translation>
    </message>
    <message>
        <source>リンク</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>日付と工期</source>
        <translation>Date and construction period</translation>
    </message>
    <message>
        <source>日付の順序</source>
        <translation>Order of dates</translation>
    </message>
    <message>
        <source>メディア総枚数</source>
        <translation>Number of media</translation>
    </message>
    <message>
        <source>メディア番号</source>
        <translation>Medium number</translation>
    </message>
    <message>
        <source>使用文字</source>
        <translation>Characters used</translation>
    </message>
    <message>
        <source>XML の文法</source>
        <translation>XML grammar</translation>
    </message>
    <message>
        <source>要領の版</source>
        <translation>Guideline edition</translation>
    </message>
    <message>
        <source>文書ファイル</source>
        <translation>Document file</translation>
    </message>
    <message>
        <source>図面ファイル名の規則</source>
        <translation>Drawing file name rule</translation>
    </message>
    <message>
        <source>、</source>
        <extracomment>Between the items of a list in a message: media numbers, the faults of a name.</extracomment>
        <translation>, </translation>
    </message>
    <message>
        <source>拡張子の前が 8 文字ではありません（ライフサイクル・整理番号・図面種類・図面番号・改訂履歴の 8 文字にします）</source>
        <translation>The name before the extension is not 8 characters long (write life cycle, serial number, drawing kind, drawing number and revision in 8 characters)</translation>
    </message>
    <message>
        <source>ライフサイクル（1 文字目）が S・D・C・M のどれでもありません</source>
        <translation>Life cycle (1st character) is not S, D, C or M</translation>
    </message>
    <message>
        <source>整理番号（2 文字目）が数字ではありません</source>
        <translation>Serial number (2nd character) is not a digit</translation>
    </message>
    <message>
        <source>図面種類（3〜4 文字目）%1 が図面種類の表にありません</source>
        <translation>Drawing kind (3rd-4th characters) %1 is not in the table of drawing kinds</translation>
    </message>
    <message>
        <source>図面番号（5〜7 文字目）が 3 桁の数字ではありません</source>
        <translation>Drawing number (5th-7th characters) is not 3 digits</translation>
    </message>
    <message>
        <source>改訂履歴（8 文字目）が 0〜9・A〜Z ではありません</source>
        <translation>Revision (8th character) is not 0-9 or A-Z</translation>
    </message>
    <message>
        <source>機種依存文字（NEC 特殊文字）</source>
        <translation>a machine-dependent character (NEC special characters)</translation>
    </message>
    <message>
        <source>機種依存文字（NEC 選定 IBM 拡張文字）</source>
        <translation>a machine-dependent character (NEC-selected IBM extensions)</translation>
    </message>
    <message>
        <source>機種依存文字（IBM 拡張文字）</source>
        <translation>a machine-dependent character (IBM extensions)</translation>
    </message>
    <message>
        <source>外字（ユーザー定義領域）</source>
        <translation>a user-defined character (private use area)</translation>
    </message>
    <message>
        <source>JIS X 0208 にない文字</source>
        <translation>a character outside JIS X 0208</translation>
    </message>
    <message>
        <source>全角数字（半角で書きます）</source>
        <translation>a full-width digit (write it half-width)</translation>
    </message>
    <message>
        <source>全角英字（半角で書きます）</source>
        <translation>a full-width Latin letter (write it half-width)</translation>
    </message>
    <message>
        <source>半角カナ</source>
        <translation>half-width katakana</translation>
    </message>
    <message>
        <source>DTD を読めません（DTD の文法に誤りがあります）</source>
        <translation>The DTD cannot be read (its grammar has errors)</translation>
    </message>
    <message>
        <source>ほかに %1 件あります</source>
        <translation>%1 more findings</translation>
    </message>
    <message>
        <source>読み込めません</source>
        <translation>Cannot be read</translation>
    </message>
    <message>
        <source>XML 宣言に文字符号化方式（Shift_JIS）がありません</source>
        <translation>The XML declaration names no encoding (Shift_JIS)</translation>
    </message>
    <message>
        <source>文字符号化方式が %1 です（Shift_JIS にします）</source>
        <translation>The encoding is %1 (use Shift_JIS)</translation>
    </message>
    <message>
        <source>DOCTYPE 宣言がありません</source>
        <translation>No DOCTYPE declaration</translation>
    </message>
    <message>
        <source>DOCTYPE 宣言に DTD ファイル名がありません</source>
        <translation>The DOCTYPE declaration names no DTD file</translation>
    </message>
    <message>
        <source>DOCTYPE 宣言の DTD ファイル（%1）がありません</source>
        <translation>The DTD file of the DOCTYPE declaration (%1) is missing</translation>
    </message>
    <message>
        <source>整形式の XML ではありません: %1</source>
        <translation>Not well-formed XML: %1</translation>
    </message>
    <message>
        <source>DTD がほかのファイルを参照しているため検証していません</source>
        <translation>Not validated: the DTD refers to other files</translation>
    </message>
    <message>
        <source>DTD に合いません: %1</source>
        <translation>Does not match the DTD: %1</translation>
    </message>
    <message>
        <source>標準の DTD（%1）に合いません: %2</source>
        <translation>Does not match the standard DTD (%1): %2</translation>
    </message>
    <message>
        <source>平成13年8月版</source>
        <translation>Heisei 13.8 edition</translation>
    </message>
    <message>
        <source>平成16年6月版以降の版</source>
        <translation>Heisei 16.6 edition or later</translation>
    </message>
    <message>
        <source>平成%1年%2月版</source>
        <extracomment>%1 the year of the Heisei era (2016 is 28), %2 the month.</extracomment>
        <translation>Heisei %1.%2 edition</translation>
    </message>
    <message>
        <source>令和%1年%2月版</source>
        <extracomment>%1 the year of the Reiwa era (2020 is 2), %2 the month.</extracomment>
        <translation>Reiwa %1.%2 edition</translation>
    </message>
    <message>
        <source>%1（適用要領基準 %2）</source>
        <translation>%1 (applied guideline %2)</translation>
    </message>
    <message>
        <source>%1（DTD_version %2）</source>
        <translation>%1 (DTD_version %2)</translation>
    </message>
    <message>
        <source>この納品物は%1に従っています。データチェックは平成13年8月版の規則によるため、後の版で変わった項目の指摘は当てはまりません（電子納品チェックを参照してください）。</source>
        <translation>This delivery follows the guideline&apos;s %1. The data check applies the rules of the Heisei 13.8 (August 2001) edition, so its findings on items changed in later editions do not apply (see the delivery check).</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>情報</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>%1 行: %2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>メディア番号 %1 の媒体が %2 枚あります</source>
        <translation>%2 media have medium number %1</translation>
    </message>
    <message>
        <source>メディア総枚数は %1 ですが、読み込んだ媒体は %2 枚です</source>
        <translation>The number of media is %1, but %2 media were loaded</translation>
    </message>
    <message>
        <source>%1の納品物です。データチェックは平成13年8月版の規則によるため、後の版で変わった項目の指摘は当てはまりません</source>
        <translation>A delivery of the guideline&apos;s %1. The data check applies the rules of the Heisei 13.8 (August 2001) edition, so its findings on items changed in later editions do not apply</translation>
    </message>
    <message>
        <source>適用要領基準 %1、%2の納品物です。データチェックは平成13年8月版の規則によるため、後の版で変わった項目の指摘は当てはまりません</source>
        <translation>A delivery of the guideline&apos;s %2 (applied guideline %1). The data check applies the rules of the Heisei 13.8 (August 2001) edition, so its findings on items changed in later editions do not apply</translation>
    </message>
    <message>
        <source>リンクは納品できません（たどりません）</source>
        <translation>Links cannot be delivered (not followed)</translation>
    </message>
    <message>
        <source>%1 文字（%2 文字まで）</source>
        <translation>%1 characters (at most %2)</translation>
    </message>
    <message>
        <source>%1 階層目のフォルダ（%2 階層まで）</source>
        <translation>A folder at level %1 (at most %2 levels)</translation>
    </message>
    <message>
        <source>フォルダ名は半角英大文字で付けます</source>
        <translation>Name folders in half-width capital letters</translation>
    </message>
    <message>
        <source>要領に定めのないフォルダです</source>
        <translation>A folder the guideline does not define</translation>
    </message>
    <message>
        <source>納品に不要なファイルです</source>
        <translation>A file a delivery does not need</translation>
    </message>
    <message>
        <source>0 バイトのファイルです</source>
        <translation>The file is 0 bytes long</translation>
    </message>
    <message>
        <source>半角英大文字・数字・_ で 8 文字以内、拡張子 %1 文字以内にします</source>
        <translation>Use at most 8 half-width capital letters, digits or _, and an extension of at most %1 characters</translation>
    </message>
    <message>
        <source>管理ファイルに記載のないファイルです</source>
        <translation>No management file lists this file</translation>
    </message>
    <message>
        <source>%1 行 %2 文字目: 「%3」は%4</source>
        <translation>Line %1, character %2: &quot;%3&quot; is %4</translation>
    </message>
    <message>
        <source>%1 行 %2 文字目（%3）: 「%4」は%5</source>
        <translation>Line %1, character %2 (%3): &quot;%4&quot; is %5</translation>
    </message>
    <message>
        <source>ほかに %1 文字あります</source>
        <translation>%1 more characters</translation>
    </message>
    <message>
        <source>媒体 %1 に同じ名前のファイルがあります</source>
        <translation>Media %1 hold files of the same name</translation>
    </message>
    <message>
        <source>大文字・小文字の違う %1 があります（名前は記載のとおりに付けます）</source>
        <translation>Found as %1, in other case (name files as listed)</translation>
    </message>
    <message>
        <source>管理ファイルに記載されたファイルが納品物にありません</source>
        <translation>A file the management file lists is not in the delivery</translation>
    </message>
    <message>
        <source>読み込んだ媒体にはありません（読み込んでいない媒体にある可能性があります）</source>
        <translation>Not on the loaded media (it may be on a medium not loaded)</translation>
    </message>
    <message>
        <source>打合せ簿 %1 の%2 %3 が工期 %4 〜 %5 の外です</source>
        <translation>Meeting record %1: %2 %3 is outside the construction period %4 to %5</translation>
    </message>
    <message>
        <source>打合せ簿 %1 の%2 %3 が%4 %5 より前です</source>
        <translation>Meeting record %1: %2 %3 is before %4 %5</translation>
    </message>
    <message>
        <source>データチェック</source>
        <translation>Data check</translation>
    </message>
    <message>
        <source>図面ファイル名の重複</source>
        <translation>Drawing file named twice</translation>
    </message>
    <message>
        <source>写真・%1</source>
        <translation>Photo: %1</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>図面情報 %1 件目が同じ図面ファイル名を記載しています</source>
        <translation>Drawing records %1 name the same drawing file</translation>
    </message>
    <message>
        <source>工期終了日 %1 が工期開始日 %2 より前です（日付と工期の照合は行いません）</source>
        <translation>The construction end %1 is before its start %2 (no date is checked against the period)</translation>
    </message>
    <message>
        <source>宣言（Shift_JIS）と違う文字コードで書かれています</source>
        <translation>Written in another encoding than its declaration (Shift_JIS)</translation>
    </message>
    <message>
        <source>令和元年%1月版</source>
        <extracomment>%1 the month of 2019, the first year of the Reiwa era.</extracomment>
        <translation>Reiwa 1.%1 edition</translation>
    </message>
</context>
<context>
    <name>FieldNames</name>
    <message>
        <source>発行日付</source>
        <translation>Issue date</translation>
    </message>
    <message>
        <source>受理日付</source>
        <translation>Acceptance date</translation>
    </message>
    <message>
        <source>完了日付</source>
        <translation>Completion date</translation>
    </message>
    <message>
        <source>発注年度</source>
        <translation>Order year</translation>
    </message>
    <message>
        <source>工事番号</source>
        <translation>Construction number</translation>
    </message>
    <message>
        <source>路線水系名等</source>
        <translation>Route or water system</translation>
    </message>
    <message>
        <source>工事名称</source>
        <translation>Construction name</translation>
    </message>
    <message>
        <source>工事分野</source>
        <translation>Construction field</translation>
    </message>
    <message>
        <source>工事業種</source>
        <translation>Construction category</translation>
    </message>
    <message>
        <source>工種</source>
        <translation>Work type</translation>
    </message>
    <message>
        <source>工法型式</source>
        <translation>Method type</translation>
    </message>
    <message>
        <source>住所コード</source>
        <translation>Address code</translation>
    </message>
    <message>
        <source>住所（施工場所）</source>
        <translation>Address (work site)</translation>
    </message>
    <message>
        <source>工期開始日</source>
        <translation>Construction start</translation>
    </message>
    <message>
        <source>工期終了日</source>
        <translation>Construction end</translation>
    </message>
    <message>
        <source>工事内容</source>
        <translation>Construction details</translation>
    </message>
    <message>
        <source>起点側測点-n</source>
        <translation>Start station-n</translation>
    </message>
    <message>
        <source>起点側測点-m</source>
        <translation>Start station-m</translation>
    </message>
    <message>
        <source>終点側測点-n</source>
        <translation>End station-n</translation>
    </message>
    <message>
        <source>終点側測点-m</source>
        <translation>End station-m</translation>
    </message>
    <message>
        <source>起点側距離標-n</source>
        <translation>Start distance post-n</translation>
    </message>
    <message>
        <source>起点側距離標-m</source>
        <translation>Start distance post-m</translation>
    </message>
    <message>
        <source>終点側距離標-n</source>
        <translation>End distance post-n</translation>
    </message>
    <message>
        <source>終点側距離標-m</source>
        <translation>End distance post-m</translation>
    </message>
    <message>
        <source>西側境界座標経度</source>
        <translation>West boundary longitude</translation>
    </message>
    <message>
        <source>東側境界座標経度</source>
        <translation>East boundary longitude</translation>
    </message>
    <message>
        <source>北側境界座標緯度</source>
        <translation>North boundary latitude</translation>
    </message>
    <message>
        <source>南側境界座標緯度</source>
        <translation>South boundary latitude</translation>
    </message>
    <message>
        <source>施設名称</source>
        <translation>Facility name</translation>
    </message>
    <message>
        <source>発注者-大分類</source>
        <translation>Orderer (major class)</translation>
    </message>
    <message>
        <source>発注者-中分類</source>
        <translation>Orderer (middle class)</translation>
    </message>
    <message>
        <source>発注者-小分類</source>
        <translation>Orderer (minor class)</translation>
    </message>
    <message>
        <source>発注者コード</source>
        <translation>Orderer code</translation>
    </message>
    <message>
        <source>請負者名</source>
        <translation>Contractor name</translation>
    </message>
    <message>
        <source>請負者コード</source>
        <translation>Contractor code</translation>
    </message>
    <message>
        <source>予備</source>
        <translation>Reserve</translation>
    </message>
    <message>
        <source>シリアル番号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>打合せ簿種類</source>
        <translation>Meeting record kind</translation>
    </message>
    <message>
        <source>打合せ簿名称</source>
        <translation>Meeting record name</translation>
    </message>
    <message>
        <source>管理区分</source>
        <translation>Management class</translation>
    </message>
    <message>
        <source>打合せ簿番号</source>
        <translation>Meeting record number</translation>
    </message>
    <message>
        <source>作成者</source>
        <translation>Author</translation>
    </message>
    <message>
        <source>提出先</source>
        <translation>Submitted to</translation>
    </message>
    <message>
        <source>請負者説明文</source>
        <translation>Contractor&apos;s note</translation>
    </message>
    <message>
        <source>発注者説明文</source>
        <translation>Orderer&apos;s note</translation>
    </message>
    <message>
        <source>施工計画書名称</source>
        <translation>Construction plan name</translation>
    </message>
    <message>
        <source>資料名</source>
        <translation>Document name</translation>
    </message>
    <message>
        <source>その他資料種類</source>
        <translation>Other document kind</translation>
    </message>
    <message>
        <source>保管場所</source>
        <translation>Storage place</translation>
    </message>
    <message>
        <source>工事件名等</source>
        <translation>Construction title</translation>
    </message>
    <message>
        <source>場所情報</source>
        <translation>Location</translation>
    </message>
    <message>
        <source>施設情報</source>
        <translation>Facility</translation>
    </message>
    <message>
        <source>発注者情報</source>
        <translation>Orderer</translation>
    </message>
    <message>
        <source>請負者情報</source>
        <translation>Contractor</translation>
    </message>
    <message>
        <source>半角数字</source>
        <translation>Half-width digits</translation>
    </message>
    <message>
        <source>全角文字</source>
        <translation>Full-width characters</translation>
    </message>
    <message>
        <source>半角英数字</source>
        <translation>Half-width alphanumerics</translation>
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
        <translation>Maker name</translation>
    </message>
    <message>
        <source>メーカ連絡先</source>
        <translation>Maker contact</translation>
    </message>
    <message>
        <source>ソフトメーカ用TAG</source>
        <translation>Software maker&apos;s tag</translation>
    </message>
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
        <source>特記仕様書オリジナルファイルフォルダ名</source>
        <translation>Special specifications original file folder</translation>
    </message>
    <message>
        <source>打合せ簿フォルダ名</source>
        <translation>Meeting records folder</translation>
    </message>
    <message>
        <source>打合せ簿オリジナルファイルフォルダ名</source>
        <translation>Meeting records original file folder</translation>
    </message>
    <message>
        <source>施工計画書フォルダ名</source>
        <translation>Construction plans folder</translation>
    </message>
    <message>
        <source>施工計画書オリジナルファイルフォルダ名</source>
        <translation>Construction plans original file folder</translation>
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
        <translation>Other documents folder</translation>
    </message>
    <message>
        <source>その他オリジナルファイルフォルダ名</source>
        <translation>Other documents original file folder</translation>
    </message>
    <message>
        <source>住所</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>図面名</source>
        <translation>Drawing name</translation>
    </message>
    <message>
        <source>図面ファイル名</source>
        <translation>Drawing file name</translation>
    </message>
    <message>
        <source>作成者名</source>
        <translation>Author name</translation>
    </message>
    <message>
        <source>図面ファイル作成ソフトウェア名</source>
        <translation>Drawing software name</translation>
    </message>
    <message>
        <source>図面尺度</source>
        <translation>Drawing scale</translation>
    </message>
    <message>
        <source>図面番号</source>
        <translation>Drawing number</translation>
    </message>
    <message>
        <source>平面直角座標系</source>
        <translation>Plane rectangular coordinate system</translation>
    </message>
    <message>
        <source>西側境界平面直角座標</source>
        <translation>West boundary plane coordinate</translation>
    </message>
    <message>
        <source>東側境界平面直角座標</source>
        <translation>East boundary plane coordinate</translation>
    </message>
    <message>
        <source>北側境界平面直角座標</source>
        <translation>North boundary plane coordinate</translation>
    </message>
    <message>
        <source>南側境界平面直角座標</source>
        <translation>South boundary plane coordinate</translation>
    </message>
    <message>
        <source>詳細住所</source>
        <translation>Detailed address</translation>
    </message>
    <message>
        <source>基準点情報緯度</source>
        <translation>Reference point latitude</translation>
    </message>
    <message>
        <source>基準点情報経度</source>
        <translation>Reference point longitude</translation>
    </message>
    <message>
        <source>基準点情報平面直角座標系番号</source>
        <translation>Reference point plane system number</translation>
    </message>
    <message>
        <source>基準点情報平面直角座標X座標</source>
        <translation>Reference point plane X</translation>
    </message>
    <message>
        <source>基準点情報平面直角座標Y座標</source>
        <translation>Reference point plane Y</translation>
    </message>
    <message>
        <source>受注者説明文</source>
        <translation>Contractor&apos;s note</translation>
    </message>
    <message>
        <source>成果品保存場所</source>
        <translation>Results storage place</translation>
    </message>
    <message>
        <source>打合せ簿オリジナルファイル名</source>
        <translation>Meeting record original file name</translation>
    </message>
    <message>
        <source>打合せ簿オリジナルファイル作成ソフトバージョン情報</source>
        <translation>Meeting record original file software version</translation>
    </message>
    <message>
        <source>オリジナルファイル内容</source>
        <translation>Original file content</translation>
    </message>
    <message>
        <source>施工計画書オリジナルファイル名</source>
        <translation>Construction plan original file name</translation>
    </message>
    <message>
        <source>施工計画書オリジナルファイル作成ソフトバージョン情報</source>
        <translation>Construction plan original file software version</translation>
    </message>
    <message>
        <source>その他資料オリジナルファイル名</source>
        <translation>Other document original file name</translation>
    </message>
    <message>
        <source>その他資料オリジナルファイル作成ソフトバージョン情報</source>
        <translation>Other document original file software version</translation>
    </message>
    <message>
        <source>発注図面</source>
        <translation>Order drawings</translation>
    </message>
    <message>
        <source>打合せ簿</source>
        <translation>Meeting records</translation>
    </message>
    <message>
        <source>施工計画書</source>
        <translation>Construction plans</translation>
    </message>
    <message>
        <source>完成図面</source>
        <translation>Final drawings</translation>
    </message>
    <message>
        <source>写真</source>
        <translation>Photos</translation>
    </message>
    <message>
        <source>その他</source>
        <translation>Other documents</translation>
    </message>
    <message>
        <source>報告書</source>
        <translation>Reports</translation>
    </message>
    <message>
        <source>図面</source>
        <translation>Drawings</translation>
    </message>
    <message>
        <source>測量データ</source>
        <translation>Survey data</translation>
    </message>
    <message>
        <source>地質データ</source>
        <translation>Geological data</translation>
    </message>
    <message>
        <source>特記仕様書</source>
        <translation>Special specifications</translation>
    </message>
    <message>
        <source>打合せ簿の通し番号を記入する。</source>
        <translation>Enter the serial number of the meeting record.</translation>
    </message>
    <message>
        <source>打合せ簿の種類を記入する。</source>
        <translation>Enter the kind of the meeting record.</translation>
    </message>
    <message>
        <source>打合せ簿の標題を記入する。</source>
        <translation>Enter the title of the meeting record.</translation>
    </message>
    <message>
        <source>「施工管理」「安全管理」「出来形管理」「品質管理」「出来高管理」「原価管理」「工程管理」「写真管理」を記入する。</source>
        <translation>Enter construction, safety, as-built, quality, output, cost, schedule or photo management (in Japanese).</translation>
    </message>
    <message>
        <source>打合せ簿に記載されている番号を記入する。</source>
        <translation>Enter the number written on the meeting record.</translation>
    </message>
    <message>
        <source>発行元と作成者を記入する。</source>
        <translation>Enter the issuer and the author.</translation>
    </message>
    <message>
        <source>打合せ簿の提出先を記入する。</source>
        <translation>Enter to whom the meeting record is submitted.</translation>
    </message>
    <message>
        <source>発行した日付を記入する。</source>
        <translation>Enter the date of issue.</translation>
    </message>
    <message>
        <source>受理した日付を記入する。</source>
        <translation>Enter the date of acceptance.</translation>
    </message>
    <message>
        <source>発注者又は請負者が処理・回答した日付を記入する。</source>
        <translation>Enter the date the orderer or the contractor dealt with or answered it.</translation>
    </message>
    <message>
        <source>請負者側で打合せ簿に付けるコメントを記入する。</source>
        <translation>Enter the contractor&apos;s comment on the meeting record.</translation>
    </message>
    <message>
        <source>発注者側で打合せ簿に付けるコメントを記入する。</source>
        <translation>Enter the orderer&apos;s comment on the meeting record.</translation>
    </message>
    <message>
        <source>その他予備項目を記入する。</source>
        <translation>Enter any further items.</translation>
    </message>
    <message>
        <source>施工計画書の通し番号を記入する。</source>
        <translation>Enter the serial number of the construction plan.</translation>
    </message>
    <message>
        <source>施工計画書の標題を記入する。</source>
        <translation>Enter the title of the construction plan.</translation>
    </message>
    <message>
        <source>請負者側で図書に付けるコメントを記入する。</source>
        <translation>Enter the contractor&apos;s comment on the document.</translation>
    </message>
    <message>
        <source>発注者側で図書に付けるコメントを記入する。</source>
        <translation>Enter the orderer&apos;s comment on the document.</translation>
    </message>
    <message>
        <source>工事履行報告書又は段階確認書に付けられている通し番号を記入する。</source>
        <translation>Enter the serial number of the work progress report or stage inspection record.</translation>
    </message>
    <message>
        <source>工事履行報告書又は段階確認書の標題を記入する。</source>
        <translation>Enter the title of the work progress report or stage inspection record.</translation>
    </message>
    <message>
        <source>その他資料の種類を記入する。</source>
        <translation>Enter the kind of the other document.</translation>
    </message>
    <message>
        <source>保管する場所を記入する。</source>
        <translation>Enter where it is kept.</translation>
    </message>
    <message>
        <source>請負者側で付けるコメントを記入する。</source>
        <translation>Enter the contractor&apos;s comment.</translation>
    </message>
    <message>
        <source>発注者側で付けるコメントを記入する。</source>
        <translation>Enter the orderer&apos;s comment.</translation>
    </message>
</context>
<context>
    <name>PhotoViewer</name>
    <message>
        <source>現在のメディアに &apos;PHOTO.XML&apos; がありません。<byte value="xd"/><byte value="xd"/>%1枚目のメディアを挿入し更新を行ってください。</source>
        <translation>The current medium has no &apos;PHOTO.XML&apos;.<byte value="xd"/><byte value="xd"/>Insert medium %1 and refresh.</translation>
    </message>
    <message>
        <source>現在のメディアに &apos;PHOTO.XML&apos; がありません。<byte value="xd"/><byte value="xd"/>%1枚目のいずれかのメディアを挿入し更新を行ってください。</source>
        <translation>The current medium has no &apos;PHOTO.XML&apos;.<byte value="xd"/><byte value="xd"/>Insert one of the media %1 and refresh.</translation>
    </message>
</context>
<context>
    <name>ReportLayout</name>
    <message>
        <source>Quillan電子納品ビューア</source>
        <translation>Quillan Electronic Delivery Viewer</translation>
    </message>
    <message>
        <source>NO.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>管理項目名</source>
        <translation>Section</translation>
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
        <translation>Details</translation>
    </message>
    <message>
        <source>電子納品チェック結果</source>
        <translation>Delivery check results</translation>
    </message>
    <message>
        <source>エラー %1 件、警告 %2 件</source>
        <translation>Errors: %1, warnings: %2</translation>
    </message>
    <message>
        <source>エラー %1 件、警告 %2 件、情報 %3 件</source>
        <translation>Errors: %1, warnings: %2, information: %3</translation>
    </message>
    <message>
        <source>（中止しました）</source>
        <translation> (stopped)</translation>
    </message>
</context>
<context>
    <name>Sort</name>
    <message>
        <source>並べ替え結果の Index 番号が重複しています！</source>
        <translation>The sort result has a duplicate Index number!</translation>
    </message>
    <message>
        <source>OnMoveData が設定されていません。</source>
        <translation>OnMoveData is not set.</translation>
    </message>
    <message>
        <source>OnCompareData が設定されていません。</source>
        <translation>OnCompareData is not set.</translation>
    </message>
    <message>
        <source>OnGetSortItem が設定されていません。</source>
        <translation>OnGetSortItem is not set.</translation>
    </message>
    <message>
        <source>並べ替えの項目を作成できません。</source>
        <translation>Cannot make the items to sort.</translation>
    </message>
    <message>
        <source>並べ替えに失敗しました: %1</source>
        <translation>Sorting failed: %1</translation>
    </message>
    <message>
        <source>並べ替えに失敗しました。</source>
        <translation>Sorting failed.</translation>
    </message>
</context>
<context>
    <name>TreeView</name>
    <message>
        <source>データ内に同名のファイルが存在するため、<byte value="xd"/>異なった図面が表示されることがあります。</source>
        <translation>The data holds files of the same name,<byte value="xd"/>so a different drawing may be shown.</translation>
    </message>
    <message>
        <source>正しいメディアが挿入されていません。<byte value="xd"/><byte value="xd"/>メディアを確認してください。</source>
        <translation>The right medium is not inserted.<byte value="xd"/><byte value="xd"/>Please check the medium.</translation>
    </message>
    <message>
        <source>メディアが複数枚存在します。%1枚目のメディアを挿入してください。<byte value="xd"/><byte value="xd"/>次のメディアを読み込む場合は「OK」を<byte value="xd"/>読み込みを中止する場合は「ｷｬﾝｾﾙ」を選択してください。</source>
        <translation>The delivery has several media. Insert medium %1.<byte value="xd"/><byte value="xd"/>Choose &quot;OK&quot; to read the next medium,<byte value="xd"/>or &quot;Cancel&quot; to stop reading.</translation>
    </message>
</context>
</TS>
