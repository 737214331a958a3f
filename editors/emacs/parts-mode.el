;;; parts-mode.el --- Major mode for the parts sources of partsc  -*- lexical-binding: t; -*-

;; Keywords: languages

;;; Commentary:

;; A major mode for parts sources (partsc(5)), chosen by content: a file
;; whose first line that begins with $$ begins with $$PARTS.  Font lock
;; gives the lines and fields a regular expression can see; with eglot,
;; `partsc --lsp' adds diagnostics as you type, hover, completion, the
;; outline and go to definition of a macro.
;;
;;   (require 'parts-mode)
;;   (add-hook 'parts-mode-hook #'eglot-ensure)

;;; Code:

(defgroup parts nil
  "Parts sources of partsc."
  :group 'languages)

(defconst parts-mode--keywords
  '("PARTS" "SPEC" "APG" "COMMON" "TITLE" "LSORT" "CSORT" "NSORT" "SIZE" "END"))

(defconst parts-mode--views '("TOP" "BOTTOM" "FRONT" "BACK" "LEFT" "RIGHT"))

(defconst parts-mode-font-lock-keywords
  `(("^/.*$" . font-lock-comment-face)
    (,(concat "^\\$\\$" (regexp-opt parts-mode--keywords)) . font-lock-keyword-face)
    ("^\\$\\$\\S-*" . font-lock-warning-face)
    (,(concat "^\\$" (regexp-opt parts-mode--views)) . font-lock-type-face)
    ("^[tsp]" . font-lock-builtin-face)
    ("{[^}\n]*}?" 0 font-lock-preprocessor-face t)
    ("!\\([^!\n]*\\)!?" 1 font-lock-variable-name-face)
    ("[<[]\\([^]>\n]*\\)" 1 font-lock-constant-face))
  "What font lock shows in a parts source.")

(defvar parts-mode-syntax-table
  (let ((table (make-syntax-table)))
    (modify-syntax-entry ?\" "\"" table)
    (modify-syntax-entry ?! "." table)
    (modify-syntax-entry ?/ "." table)
    (modify-syntax-entry ?$ "_" table)
    table)
  "Syntax table of `parts-mode'.")

;;;###autoload
(define-derived-mode parts-mode prog-mode "Parts"
  "Major mode for the parts sources of partsc."
  :syntax-table parts-mode-syntax-table
  (setq-local font-lock-defaults '(parts-mode-font-lock-keywords))
  (setq-local comment-start "/ ")
  (setq-local comment-start-skip "^/+ *")
  (setq-local comment-end "")
  (setq-local fill-column 78)
  (setq-local indent-tabs-mode nil))

;;;###autoload
(defun parts-mode-library-file-p (file)
  "True when FILE, new or empty, lies in a library folder.
A library folder holds ORVA.SET; a name ending in .src may also lie below one.
The settings file and a control file are no sources."
  (and file
       (not (string-match-p "\\(\\`ORVA\\.SET\\|\\.[Cc][Tt][Ll]\\)\\'"
                            (file-name-nondirectory file)))
       (or (file-exists-p (expand-file-name "ORVA.SET" (file-name-directory file)))
           (and (string-match-p "\\.[Ss][Rr][Cc]\\'" file)
                (locate-dominating-file file "ORVA.SET")))
       t))

;;;###autoload
(defun parts-mode-source-p ()
  "True when the buffer is a parts source.
Its first line that begins with $$ begins with $$PARTS; or it is empty and
its file lies in a library folder."
  (save-excursion
    (goto-char (point-min))
    (if (re-search-forward "^\\$\\$" (+ (point-min) 40000) t)
        (looking-at "PARTS")
      (and (= (buffer-size) 0) (parts-mode-library-file-p buffer-file-name)))))

;;;###autoload
(add-to-list 'magic-fallback-mode-alist '(parts-mode-source-p . parts-mode))

;;;###autoload
(defun parts-mode-check-after-save ()
  "Choose `parts-mode' for a buffer with no mode that became a parts source."
  (when (and (eq major-mode 'fundamental-mode)
             (save-restriction (widen) (parts-mode-source-p)))
    (parts-mode)))

;;;###autoload
(add-hook 'after-save-hook #'parts-mode-check-after-save)

;; The server of parts-mode, unless the user named one, before or after this
;; file was loaded.
(with-eval-after-load 'eglot
  (defvar eglot-server-programs)
  (unless (assq 'parts-mode eglot-server-programs)
    (add-to-list 'eglot-server-programs '(parts-mode . ("partsc" "--lsp")))))

(provide 'parts-mode)

;;; parts-mode.el ends here
