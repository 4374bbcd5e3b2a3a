<?xml version="1.0" encoding="UTF-8"?>
<!-- The header of the view frame set: view_header.htm. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" version="1.0" encoding="UTF-8" indent="yes"/>

<xsl:param name="p1"/>
<xsl:param name="multi_page"/>

<xsl:template match="/">
<html>
<head>
<meta http-equiv="Content-Language" content="en-gb"/>
<meta http-equiv="expires" content="0"/>
<meta http-equiv="Pragma" content="no-cache"/>
<title>Header</title>
<script language="JavaScript">
var LoadTime = <xsl:value-of select="number(BROWSERINFO/@Time)"/>;
var multi_page = "<xsl:if test="$multi_page = 'yes'">yes</xsl:if>";
var formName = "view_head";
var pagePrefix = "";
var rootPage = "view.htm";
<![CDATA[
var global_page = "Root";

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

function dropDown() {
  var form = document.forms[formName];
  return form ? form.elements["DropDown"] : null;
}

// Shows the chosen folder's page in the main frame. The option's index is
// what the reloaded header selects again, so that is what global_page keeps.
function Change() {
  var list = dropDown();
  if (!list || list.selectedIndex < 0) return;
  var value = list.options[list.selectedIndex].value;
  global_page = list.selectedIndex;
  var page = value == "Root" ? rootPage : pagePrefix + value.replace(/\\/g, "") + ".htm";
  mainFrame().location.href = encodeURIComponent(page);
}

function reloader() {
  var address = withoutVar(String(document.location.href), "page");
  address += (address.indexOf("?") < 0 ? "?" : "&") + "page=" + global_page;
  document.location.replace(address);
}

function setcombo() {
  global_page = getNumberVar("page");
  if (multi_page != "yes") return;
  var list = dropDown();
  if (!list || list.options.length == 0) return;
  list.selectedIndex = (global_page >= 0 && global_page < list.options.length) ? global_page : 0;
}
]]>
</script>
</head>
<body background="_back.jpg" onload="setcombo()">
<table border="0" cellpadding="2" cellspacing="0">
<tr>
<td valign="top">
  <xsl:if test="BROWSERINFO/@HomePage = 'YES'">
    <xsl:for-each select="BROWSERINFO/Favoritesfolder/Folder/Link[@DESCRIPTION = '_Old Home Page']">
      <table border="0" cellpadding="0" cellspacing="0">
        <tr><td align="center"><xsl:call-template name="favourite-link"><xsl:with-param name="content"><img src="{translate(@IMAGE, '\', '/')}" border="0"/></xsl:with-param></xsl:call-template></td></tr>
        <tr><td align="center"><xsl:call-template name="favourite-link"><xsl:with-param name="content"><font face="Verdana" size="2"><b><xsl:value-of select="@DESCRIPTION"/></b></font></xsl:with-param></xsl:call-template></td></tr>
      </table>
    </xsl:for-each>
  </xsl:if>
</td>
<td valign="top">
  <xsl:if test="$multi_page = 'yes'">
    <form name="view_head">
    <font face="Verdana" size="2">Change to new page:</font>
    <select size="1" name="DropDown" onchange="Change()">
    <xsl:for-each select="BROWSERINFO/Favoritesfolder/Folder">
      <xsl:variable name="name" select="concat(@Location, substring('Root', 1, 4 * (string(@Location) = '')))"/>
      <option value="{$name}"><xsl:value-of select="$name"/></option>
    </xsl:for-each>
    </select>
    </form>
  </xsl:if>
  <font face="Verdana" size="2">Favourites Manager Edit Mode <a href="editor.htm" target="_top">Manage Favourites</a><br/>
  History Manager View Mode <a href="history.htm" target="_top">Manage history</a></font>
</td>
</tr>
</table>
</body>
</html>
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
