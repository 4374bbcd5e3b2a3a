<?xml version="1.0" encoding="UTF-8"?>
<!-- The view frame set: viewer.htm. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" version="1.0" encoding="UTF-8" indent="yes"/>

<xsl:param name="multi_page"/>

<xsl:template match="/">
<xsl:variable name="rows">
  <xsl:choose>
    <!-- Room for the old home page's picture in the header. -->
    <xsl:when test="BROWSERINFO/@HomePage = 'YES'">175,*,0</xsl:when>
    <!-- Room for the folder list. -->
    <xsl:when test="$multi_page = 'yes'">100,*,0</xsl:when>
    <xsl:otherwise>64,*,0</xsl:otherwise>
  </xsl:choose>
</xsl:variable>
<html>
<head>
<meta http-equiv="expires" content="0"/>
<meta http-equiv="Pragma" content="no-cache"/>
<title>Viewer</title>
</head>
<frameset rows="{$rows}">
  <frame name="header" src="view_header.htm" scrolling="no" noresize="noresize" frameborder="1" target="main"/>
  <frame name="mymain" src="view.htm" frameborder="0"/>
  <frame name="dummy" src="reloader.htm" scrolling="no" noresize="noresize" frameborder="0" marginheight="0"/>
  <noframes>
  <body background="_back.jpg">
  <p>This page uses frames, but your browser doesn't support them.</p>
  </body>
  </noframes>
</frameset>
</html>
</xsl:template>

</xsl:stylesheet>
