<?xml version="1.0" encoding="UTF-8"?>
<!-- The folder list: one Location per line, in document order. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:output method="html" version="1.0" encoding="UTF-8" indent="yes"/>

<xsl:template match="/">
  <xsl:for-each select="BROWSERINFO/Favoritesfolder/Folder">
    <xsl:value-of select="@Location"/><xsl:text>&#13;&#10;</xsl:text>
  </xsl:for-each>
</xsl:template>

</xsl:stylesheet>
