"""The Lumesta Processing provider: its algorithms, its setting (the path of lumesta-cli) and
the raster formats its results are written in."""

import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from .algorithm import LumestaAlgorithm, definitions
from .command import SETTING

HERE = os.path.dirname(os.path.abspath(__file__))


class LumestaProvider(QgsProcessingProvider):
    def id(self):
        return 'lumesta'

    def name(self):
        return 'Lumesta'

    def longName(self):
        return 'Lumesta pan-sharpening, fusion quality and registration'

    def icon(self):
        return QIcon(self.svgIconPath())

    def svgIconPath(self):
        return os.path.join(HERE, 'icon.svg')

    def load(self):
        try:
            from processing.core.ProcessingConfig import ProcessingConfig, Setting
        except ImportError:
            ProcessingConfig = None
        if ProcessingConfig is not None:
            ProcessingConfig.settingIcons[self.name()] = self.icon()
            ProcessingConfig.addSetting(Setting(
                self.name(), SETTING,
                'lumesta-cli program (empty: the one installed with this plugin, else on PATH)',
                '', valuetype=Setting.FILE))
            ProcessingConfig.readSettings()
        self.refreshAlgorithms()
        return True

    def unload(self):
        try:
            from processing.core.ProcessingConfig import ProcessingConfig
            ProcessingConfig.removeSetting(SETTING)
        except ImportError:
            pass

    def loadAlgorithms(self):
        for definition in definitions():
            self.addAlgorithm(LumestaAlgorithm(definition))

    def supportedOutputRasterLayerExtensions(self):
        return ['tif', 'img']

    def defaultRasterFileExtension(self):
        return 'tif'
