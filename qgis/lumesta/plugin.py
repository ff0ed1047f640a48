"""The plugin QGIS loads: it adds the Lumesta provider to Processing and removes it again."""

from qgis.core import QgsApplication

from .provider import LumestaProvider


class LumestaPlugin:
    def __init__(self, iface):
        self.iface = iface
        self.provider = None

    def initProcessing(self):
        if self.provider is None:
            self.provider = LumestaProvider()
            QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
