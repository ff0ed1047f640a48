"""Runs of lumesta:pansharpen that stop leave no file: one cancelled once lumesta-cli reports
progress ends as cancelled with neither its result nor its temporary folder left, and one whose
OUTPUT is an input's file is refused before it starts, the input untouched.
Usage: python3 stopped_runs.py PLUGIN_FOLDER SCENE_FOLDER OUTPUT_FOLDER"""

import glob
import os
import sys

from qgis.core import (QgsApplication, QgsProcessingContext, QgsProcessingFeedback,
                       QgsProcessingUtils)

plugins, scene, folder = sys.argv[1:4]
application = QgsApplication([], False)
application.initQgis()
sys.path[:0] = [plugins, '/usr/share/qgis/python/plugins']
from lumesta.provider import LumestaProvider  # noqa: E402 (after QGIS has started)

provider = LumestaProvider()
QgsApplication.processingRegistry().addProvider(provider)
algorithm = QgsApplication.processingRegistry().createAlgorithmById('lumesta:pansharpen')
class Feedback(QgsProcessingFeedback):
    errors = []

    def reportError(self, error, fatalError=False):  # noqa: N802 (QGIS's name)
        self.errors.append(error)


feedback = Feedback()
seen = []
feedback.progressChanged.connect(lambda percent: (seen.append(percent), feedback.cancel()))
os.mkdir(folder)
output = os.path.join(folder, 'fused.img')
parameters = {'PAN': os.path.join(scene, 'pan.img'), 'METHOD': 'glp-hpm', 'OUTPUT': output,
              'BMP': os.path.join(folder, 'fused.bmp'),
              'MS': [os.path.join(scene, band + '.img') for band in ('blue', 'green', 'red', 'nir')]}
results, finished = algorithm.run(parameters, QgsProcessingContext(), feedback)
failures = [] if not finished and feedback.errors == ['The run was cancelled.'] else \
    ['not cancelled: {} {}'.format(results, feedback.errors)]
if not seen:
    failures.append('no progress reached the feedback')
if os.listdir(folder):
    failures.append('files left: {}'.format(os.listdir(folder)))
if glob.glob(os.path.join(QgsProcessingUtils.tempFolder(), 'lumesta-*')):
    failures.append('the temporary folder of the run is left')
if glob.glob(os.path.join(scene, '*_Fused*')):
    failures.append('results beside the inputs')

blue = parameters['MS'][0]
with open(blue, 'rb') as band:
    before = band.read()
parameters['OUTPUT'] = blue
valid, message = algorithm.checkParameterValues(parameters, QgsProcessingContext())
if valid or not message.startswith('OUTPUT: ' + blue + ' is a file of an input layer'):
    failures.append('an OUTPUT over an input: {} {}'.format(valid, message))
with open(blue, 'rb') as band:
    if band.read() != before:
        failures.append('the input was written to')
print('\n'.join(failures) or 'stopped runs leave no file')
sys.exit(1 if failures else 0)
