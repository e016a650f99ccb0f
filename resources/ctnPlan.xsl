<?xml version="1.0" encoding="shift_jis"?>
<!-- PLAN.XML: one table per group, nested groups as nested tables. -->
<xsl:stylesheet version="1.0"
  xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
  xmlns:html="http://www.w3.org/TR/REC-html40"
  exclude-result-prefixes="html">

<xsl:output method="html" encoding="Shift_JIS" indent="yes"/>

<!-- The page. -->
<xsl:template match="/">
  <html>
    <head>
      <meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"/>
      <title>施工計画書管理ファイル</title>
      <style type="text/css">
        body     { font-size: 10pt; background-color: #FFFFFF; }
        table    { border-collapse: collapse; }
        p.dtd    { color: #404040; }
        td.media { background-color: #FFCC99; font-weight: bold; }
        td.soft  { background-color: #CCFFCC; font-weight: bold; }
        td.plan  { background-color: #99CCFF; font-weight: bold; }
        td.file  { background-color: #FFFF99; font-weight: bold; }
        td.othr  { background-color: #FFCCFF; font-weight: bold; }
        td.misc  { background-color: #E0E0E0; font-weight: bold; }
        th.title { background-color: #F0F0F0; font-weight: normal; text-align: left; width: 35%; }
        td.data  { background-color: #FFFFFF; }
        td.nest  { padding: 4px; }
      </style>
    </head>
    <body>
      <xsl:apply-templates select="*"/>
    </body>
  </html>
</xsl:template>

<!-- The root element, whatever its name: the version, then the groups. -->
<xsl:template match="/*" priority="2">
  <xsl:if test="@DTD_version">
    <p class="dtd">DTD_version <xsl:value-of select="@DTD_version"/></p>
  </xsl:if>
  <xsl:apply-templates select="*"/>
</xsl:template>

<xsl:template match="媒体情報">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" class="media">媒体情報</td></tr>
    <xsl:apply-templates select="*" mode="row"/>
  </table>
  <br/>
</xsl:template>

<xsl:template match="ソフトウェア情報">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" class="soft">ソフトウェア情報</td></tr>
    <xsl:apply-templates select="*" mode="row"/>
  </table>
  <br/>
</xsl:template>

<xsl:template match="施工計画書情報">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" class="plan">施工計画書情報</td></tr>
    <xsl:apply-templates select="*" mode="row"/>
  </table>
  <br/>
</xsl:template>

<xsl:template match="オリジナルファイル情報">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" class="file">オリジナルファイル情報</td></tr>
    <xsl:apply-templates select="*" mode="row"/>
  </table>
  <br/>
</xsl:template>

<xsl:template match="その他">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" class="othr">その他</td></tr>
    <xsl:apply-templates select="*" mode="row"/>
  </table>
  <br/>
</xsl:template>

<!-- Any other element: a table of its own under its element name. -->
<xsl:template match="*">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" class="misc"><xsl:value-of select="name()"/></td></tr>
    <xsl:choose>
      <xsl:when test="*"><xsl:apply-templates select="*" mode="row"/></xsl:when>
      <xsl:otherwise><tr><td colspan="2" class="data"><xsl:value-of select="."/></td></tr></xsl:otherwise>
    </xsl:choose>
  </table>
  <br/>
</xsl:template>

<!-- A field: its element name and its text. -->
<xsl:template match="*" mode="row">
  <tr>
    <th class="title"><xsl:value-of select="name()"/></th>
    <td class="data"><xsl:value-of select="."/></td>
  </tr>
</xsl:template>

<!-- A group inside a group: its own table, nested. -->
<xsl:template match="*[*]" mode="row">
  <tr><td colspan="2" class="nest"><xsl:apply-templates select="."/></td></tr>
</xsl:template>

</xsl:stylesheet>
