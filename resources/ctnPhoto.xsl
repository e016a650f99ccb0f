<?xml version="1.0" encoding="shift_jis"?>
<!-- PHOTO.XML: one table per group, nested groups as nested tables; styled with font tags. -->
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
      <title>写真管理ファイル</title>
    </head>
    <body bgcolor="#FFFFFF">
      <xsl:apply-templates select="*"/>
    </body>
  </html>
</xsl:template>

<!-- The root element, whatever its name: the version, then the groups. -->
<xsl:template match="/*" priority="2">
  <xsl:if test="@DTD_version">
    <p><font size="2" color="#404040">DTD_version <xsl:value-of select="@DTD_version"/></font></p>
  </xsl:if>
  <xsl:apply-templates select="*"/>
</xsl:template>

<xsl:template match="基礎情報">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" bgcolor="#FFCC99"><font size="3" color="#000000"><b>基礎情報</b></font></td></tr>
    <xsl:apply-templates select="*" mode="row"/>
  </table>
  <br/>
</xsl:template>

<xsl:template match="工事情報">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" bgcolor="#CCFFCC"><font size="3" color="#000000"><b>工事情報</b></font></td></tr>
    <xsl:apply-templates select="*" mode="row"/>
  </table>
  <br/>
</xsl:template>

<xsl:template match="写真情報">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" bgcolor="#99CCFF"><font size="3" color="#000080"><b>写真情報</b></font></td></tr>
    <xsl:apply-templates select="*" mode="row"/>
  </table>
  <br/>
</xsl:template>

<!-- Any other element: a table of its own under its element name. -->
<xsl:template match="*">
  <table width="100%" border="1" cellspacing="0" cellpadding="2">
    <tr><td colspan="2" bgcolor="#E0E0E0"><font size="3" color="#000000"><b><xsl:value-of select="name()"/></b></font></td></tr>
    <xsl:choose>
      <xsl:when test="*"><xsl:apply-templates select="*" mode="row"/></xsl:when>
      <xsl:otherwise><tr><td colspan="2"><font size="2"><xsl:value-of select="."/></font></td></tr></xsl:otherwise>
    </xsl:choose>
  </table>
  <br/>
</xsl:template>

<!-- A field: its element name and its text. -->
<xsl:template match="*" mode="row">
  <tr>
    <th align="left" width="35%" bgcolor="#F0F0F0"><font size="2"><xsl:value-of select="name()"/></font></th>
    <td><font size="2"><xsl:value-of select="."/></font></td>
  </tr>
</xsl:template>

<!-- A group inside a group: its own table, nested. -->
<xsl:template match="*[*]" mode="row">
  <tr><td colspan="2"><xsl:apply-templates select="."/></td></tr>
</xsl:template>

</xsl:stylesheet>
