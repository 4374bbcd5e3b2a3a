<?xml version="1.0" encoding="UTF-8"?>
<!-- The thumbnail grid: view.htm, or one view page per folder. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" version="1.0" encoding="UTF-8" indent="yes"/>

<xsl:param name="p1"/>
<xsl:param name="multi_page"/>
<xsl:variable name="cols" select="4"/>
<xsl:variable name="homepage" select="/BROWSERINFO/@HomePage"/>

<xsl:template match="/">
<html>
<head>
<meta http-equiv="expires" content="0"/>
<meta http-equiv="Pragma" content="no-cache"/>
<title>Favourites</title>
<script language="JavaScript">
var LoadTime = <xsl:value-of select="number(BROWSERINFO/@Time)"/>;
<![CDATA[
function getStringVar(name) {
  var address = String(document.location.href);
  var at = address.search(new RegExp("[?&]" + name + "="));
  if (at < 0) return "";
  var start = at + 1 + name.length + 1;
  var end = address.indexOf("&", start);
  var value = address.substring(start, end < 0 ? address.length : end);
  try { return decodeURIComponent(value); } catch (e) { return unescape(value); }
}

function getNumberVar(name) {
  var n = parseInt(getStringVar(name), 10);
  return isNaN(n) ? 0 : n;
}

function mainFrame() {
  try { if (parent.frames["mymain"]) return parent.frames["mymain"]; } catch (e) {}
  return window;
}

function withoutVar(address, name) {
  var hash = address.indexOf("#");
  if (hash >= 0) address = address.substring(0, hash);
  var q = address.indexOf("?");
  if (q < 0) return address;
  var kept = [];
  var pairs = address.substring(q + 1).split("&");
  for (var i = 0; i < pairs.length; i++)
    if (pairs[i] != "" && pairs[i].indexOf(name + "=") != 0) kept.push(pairs[i]);
  return address.substring(0, q) + (kept.length ? "?" + kept.join("&") : "");
}

function reloader() {
  var f = mainFrame();
  var d = f.document;
  var x = 0, y = 0;
  if (typeof f.pageXOffset == "number") {
    x = f.pageXOffset; y = f.pageYOffset;
  } else if (d.documentElement && (d.documentElement.scrollLeft || d.documentElement.scrollTop)) {
    x = d.documentElement.scrollLeft; y = d.documentElement.scrollTop;
  } else if (d.body) {
    x = d.body.scrollLeft; y = d.body.scrollTop;
  }
  var address = withoutVar(withoutVar(String(document.location.href), "xScroll"), "yScroll");
  address += (address.indexOf("?") < 0 ? "?" : "&")
    + "xScroll=" + Math.round(x) + "&yScroll=" + Math.round(y);
  f.location.replace(address);
}

function setScroll() {
  var x = getNumberVar("xScroll");
  var y = getNumberVar("yScroll");
  if (x > 0 || y > 0) mainFrame().scrollTo(x, y);
}
]]>
</script>
</head>
<body background="_back.jpg" onload="setScroll()">
<xsl:for-each select="BROWSERINFO/Favoritesfolder/Folder[@Location = $p1 or $multi_page = '']">
  <table border="0" cellpadding="2" cellspacing="0">
    <xsl:for-each select="Link[position() mod $cols = 1]">
      <!-- This link and the next three ($cols is 4). Written out because a
           literal position lets the engine stop after the link it needs. -->
      <xsl:variable name="row" select=". | following-sibling::Link[1] | following-sibling::Link[2] | following-sibling::Link[3]"/>
      <tr>
        <xsl:for-each select="$row">
          <td width="175" align="center" valign="bottom">
            <xsl:if test="not($homepage = 'YES' and @DESCRIPTION = '_Old Home Page')">
              <xsl:call-template name="favourite-link"><xsl:with-param name="content"><img src="{translate(@IMAGE, '\', '/')}" border="0"/></xsl:with-param></xsl:call-template>
            </xsl:if>
          </td>
        </xsl:for-each>
        <xsl:call-template name="filler"><xsl:with-param name="count" select="$cols - count($row)"/></xsl:call-template>
      </tr>
      <tr>
        <xsl:for-each select="$row">
          <td width="175" align="center" valign="top">
            <xsl:if test="not($homepage = 'YES' and @DESCRIPTION = '_Old Home Page')">
              <xsl:call-template name="favourite-link"><xsl:with-param name="content"><font face="Verdana" size="2"><b><xsl:value-of select="@DESCRIPTION"/></b></font></xsl:with-param></xsl:call-template>
            </xsl:if>
          </td>
        </xsl:for-each>
        <xsl:call-template name="filler"><xsl:with-param name="count" select="$cols - count($row)"/></xsl:call-template>
      </tr>
      <tr>
        <xsl:for-each select="$row">
          <td width="175" align="center" valign="top">
            <xsl:if test="not(@DESCRIPTION = '_Old Home Page')">
              <font face="Verdana" size="1"><xsl:value-of select="../@Location"/></font>
            </xsl:if>
          </td>
        </xsl:for-each>
        <xsl:call-template name="filler"><xsl:with-param name="count" select="$cols - count($row)"/></xsl:call-template>
      </tr>
    </xsl:for-each>
  </table>
  <hr/>
</xsl:for-each>
</body>
</html>
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
