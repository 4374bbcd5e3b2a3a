<?xml version="1.0" encoding="UTF-8"?>
<!-- The edit frame set: editor.htm. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" version="1.0" encoding="UTF-8" indent="yes"/>

<xsl:param name="multi_page"/>

<xsl:template match="/">
<xsl:variable name="rows">
  <xsl:choose>
    <!-- Room for the folder list. -->
    <xsl:when test="$multi_page = 'yes'">100,*,64</xsl:when>
    <xsl:otherwise>64,*,64</xsl:otherwise>
  </xsl:choose>
</xsl:variable>
<html>
<head>
<meta http-equiv="expires" content="0"/>
<meta http-equiv="Pragma" content="no-cache"/>
<title>Editor</title>
</head>
<frameset rows="{$rows}">
  <frame name="header" src="edit_header.htm" scrolling="no" noresize="noresize" target="contents"/>
  <frame name="mymain" src="edit.htm"/>
  <frame name="footer" src="edit_footer.htm" scrolling="no" noresize="noresize" target="contents"/>
  <noframes>
  <body background="_back.jpg">
  <p>This page uses frames, but your browser doesn't support them.</p>
  </body>
  </noframes>
</frameset>
</html>
</xsl:template>

</xsl:stylesheet>
