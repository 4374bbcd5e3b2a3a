<?xml version="1.0" encoding="UTF-8"?>
<!-- The editing form: edit.htm, or one edit page per folder. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" version="1.0" encoding="UTF-8" indent="yes"/>

<xsl:param name="p1"/>
<xsl:param name="multi_page"/>
<xsl:variable name="cols" select="4"/>
<xsl:variable name="folders" select="/BROWSERINFO/Favoritesfolder/Folder"/>

<xsl:template match="/">
<html>
<head>
<meta http-equiv="expires" content="0"/>
<meta http-equiv="Pragma" content="no-cache"/>
<title>Edit Favourites</title>
</head>
<body background="_back.jpg">
<form name="myedit" method="POST" action="/cgi-bin/cgifrm1.exe">
<xsl:for-each select="BROWSERINFO/Favoritesfolder/Folder[@Location = $p1 or $multi_page = '']">
  <!-- Every link of a folder has the same choice of folders, with its own
       folder selected. The options are written once per folder as markup
       and copied as text into each link's list: with hundreds of folders
       the lists are most of the page, and this keeps a large listing fast. -->
  <xsl:variable name="own" select="string(@Location)"/>
  <xsl:variable name="options">
    <xsl:for-each select="$folders">
      <!-- The folder's Location, or "Root" for the Favorites folder itself. -->
      <xsl:variable name="name" select="concat(@Location, substring('Root', 1, 4 * (string(@Location) = '')))"/>
      <xsl:variable name="selected" select="substring(' selected', 1, 9 * (string(@Location) = $own))"/>
      <xsl:choose>
        <xsl:when test="translate($name, '&amp;&lt;&quot;', '') = $name">
          <xsl:value-of select="concat('&lt;option value=&quot;', $name, '&quot;', $selected, '&gt;', $name, '&lt;/option&gt;&#10;')"/>
        </xsl:when>
        <xsl:otherwise>
          <xsl:variable name="markup">
            <xsl:call-template name="markup"><xsl:with-param name="text" select="$name"/></xsl:call-template>
          </xsl:variable>
          <xsl:value-of select="concat('&lt;option value=&quot;', $markup, '&quot;', $selected, '&gt;', $markup, '&lt;/option&gt;&#10;')"/>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:for-each>
  </xsl:variable>
  <xsl:variable name="optionMarkup" select="string($options)"/>
  <table border="0" cellpadding="2" cellspacing="0">
    <xsl:for-each select="Link[position() mod $cols = 1]">
      <!-- This link and the next three ($cols is 4). Written out because a
           literal position lets the engine stop after the link it needs. -->
      <xsl:variable name="row" select=". | following-sibling::Link[1] | following-sibling::Link[2] | following-sibling::Link[3]"/>
      <tr>
        <xsl:for-each select="$row">
          <td width="175" align="center" valign="bottom"><font face="Verdana" size="1">
            <xsl:call-template name="favourite-link"><xsl:with-param name="content"><img src="{translate(@IMAGE, '\', '/')}" border="0"/></xsl:with-param></xsl:call-template>
          </font></td>
        </xsl:for-each>
        <xsl:call-template name="filler"><xsl:with-param name="count" select="$cols - count($row)"/></xsl:call-template>
      </tr>
      <tr>
        <xsl:for-each select="$row">
          <td width="175"><font face="Verdana" size="1"><b>
            <textarea rows="2" cols="18" name="Edit{@UNIQUE}"><xsl:value-of select="@DESCRIPTION"/></textarea>
          </b></font></td>
        </xsl:for-each>
        <xsl:call-template name="filler"><xsl:with-param name="count" select="$cols - count($row)"/></xsl:call-template>
      </tr>
      <tr>
        <xsl:for-each select="$row">
          <td width="175" align="center"><font face="Verdana" size="1">
            <select size="1" name="Combo{@UNIQUE}"><xsl:value-of select="$optionMarkup" disable-output-escaping="yes"/></select>
          </font></td>
        </xsl:for-each>
        <xsl:call-template name="filler"><xsl:with-param name="count" select="$cols - count($row)"/></xsl:call-template>
      </tr>
      <tr>
        <xsl:for-each select="$row">
          <td width="175"><font face="Verdana" size="1">I.E. Sort Order <input type="text" size="5" name="OB{@UNIQUE}" value="{@SORT_ORDER}"/>
          </font></td>
        </xsl:for-each>
        <xsl:call-template name="filler"><xsl:with-param name="count" select="$cols - count($row)"/></xsl:call-template>
      </tr>
      <tr>
        <xsl:for-each select="$row">
          <td width="175"><font face="Verdana" size="1">
            <input type="checkbox" name="CB{@UNIQUE}" value="deleteme"/>Delete Me<hr/>
          </font></td>
        </xsl:for-each>
        <xsl:call-template name="filler"><xsl:with-param name="count" select="$cols - count($row)"/></xsl:call-template>
      </tr>
    </xsl:for-each>
  </table>
  <hr/>
</xsl:for-each>
</form>
</body>
</html>
</xsl:template>

<!-- Text as it must stand inside markup written by hand. -->
<xsl:template name="markup">
  <xsl:param name="text"/>
  <xsl:choose>
    <xsl:when test="contains($text, '&amp;')">
      <xsl:call-template name="markup"><xsl:with-param name="text" select="substring-before($text, '&amp;')"/></xsl:call-template>
      <xsl:text>&amp;amp;</xsl:text>
      <xsl:call-template name="markup"><xsl:with-param name="text" select="substring-after($text, '&amp;')"/></xsl:call-template>
    </xsl:when>
    <xsl:when test="contains($text, '&lt;')">
      <xsl:call-template name="markup"><xsl:with-param name="text" select="substring-before($text, '&lt;')"/></xsl:call-template>
      <xsl:text>&amp;lt;</xsl:text>
      <xsl:call-template name="markup"><xsl:with-param name="text" select="substring-after($text, '&lt;')"/></xsl:call-template>
    </xsl:when>
    <xsl:when test="contains($text, '&quot;')">
      <xsl:call-template name="markup"><xsl:with-param name="text" select="substring-before($text, '&quot;')"/></xsl:call-template>
      <xsl:text>&amp;quot;</xsl:text>
      <xsl:call-template name="markup"><xsl:with-param name="text" select="substring-after($text, '&quot;')"/></xsl:call-template>
    </xsl:when>
    <xsl:otherwise><xsl:value-of select="$text"/></xsl:otherwise>
  </xsl:choose>
</xsl:template>

<!-- Empty cells that complete a short last row. -->
<xsl:template name="filler">
  <xsl:param name="count"/>
  <xsl:if test="$count &gt; 0">
    <td width="175">&#160;</td>
    <xsl:call-template name="filler"><xsl:with-param name="count" select="$count - 1"/></xsl:call-template>
  </xsl:if>
</xsl:template>

<!-- Only web and file addresses become live links: a favourite whose address
     is "javascript:" or "data:" would otherwise run as script in this
     program's own pages. Other favourites keep their picture and caption. -->
<xsl:template name="favourite-link">
  <xsl:param name="content"/>
  <xsl:variable name="url" select="translate(@PID_IS_URL, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>
  <xsl:choose>
    <xsl:when test="starts-with($url, 'http:') or starts-with($url, 'https:') or starts-with($url, 'ftp:') or starts-with($url, 'file:')">
      <a href="{@PID_IS_URL}" target="_top"><xsl:copy-of select="$content"/></a>
    </xsl:when>
    <xsl:otherwise><xsl:copy-of select="$content"/></xsl:otherwise>
  </xsl:choose>
</xsl:template>

</xsl:stylesheet>
